#include "service_registry.h"

#include <algorithm>
#include <stdexcept>

namespace cppmicroservices {

ServiceRegistry::Registration ServiceRegistry::add(long bundleId,
                                                   const InterfaceMapConstPtr& services,
                                                   const ServiceProperties& properties) {
  if (!services || services->empty()) {
    throw std::invalid_argument("A service needs at least one interface to be registered under");
  }
  for (const auto& entry : *services) {
    if (!entry.second) {
      throw std::invalid_argument("The service object for interface " + entry.first + " is null");
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  // Withdrawn registrations are only kept alive by the references to them.
  registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(),
                                      [](const Registration& r) { return !r->isRegistered(); }),
                       registrations_.end());
  auto registration = std::make_shared<ServiceRegistrationBasePrivate>(nextServiceId_++, bundleId,
                                                                       services, properties);
  registrations_.push_back(registration);
  return registration;
}

std::vector<ServiceRegistry::Registration> ServiceRegistry::registered() const {
  std::vector<Registration> result;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& r : registrations_) {
    if (r->isRegistered()) result.push_back(r);
  }
  return result;
}

std::vector<ServiceRegistry::Registration> ServiceRegistry::find(
    const std::string& interfaceId) const {
  std::vector<Registration> result;
  for (const auto& r : registered()) {
    if (r->offers(interfaceId)) result.push_back(r);
  }
  std::stable_sort(result.begin(), result.end(), [](const Registration& a, const Registration& b) {
    if (a->ranking() != b->ranking()) return a->ranking() > b->ranking();
    return a->serviceId() < b->serviceId();
  });
  return result;
}

std::vector<ServiceRegistry::Registration> ServiceRegistry::registeredBy(long bundleId) const {
  std::vector<Registration> result;
  for (const auto& r : registered()) {
    if (r->bundleId() == bundleId) result.push_back(r);
  }
  return result;
}

void ServiceRegistry::withdrawAllOf(long bundleId) {
  // Withdrawing may run a service's destructor; no registry lock is held then.
  for (const auto& r : registeredBy(bundleId)) r->withdraw();
}

}  // namespace cppmicroservices
