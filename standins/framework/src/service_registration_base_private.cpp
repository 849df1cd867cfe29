#include "service_registration_base_private.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace cppmicroservices {
namespace {

std::vector<std::string> sortedIds(const InterfaceMapConstPtr& services) {
  std::vector<std::string> ids;
  for (const auto& entry : *services) ids.push_back(entry.first);
  std::sort(ids.begin(), ids.end());
  return ids;
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

ServiceRegistrationBasePrivate::ServiceRegistrationBasePrivate(long serviceId, long bundleId,
                                                               InterfaceMapConstPtr services,
                                                               const ServiceProperties& properties)
    : serviceId_(serviceId),
      bundleId_(bundleId),
      interfaceIds_(sortedIds(services)),
      services_(std::move(services)),
      properties_(withFrameworkKeys(properties)) {}

ServiceProperties ServiceRegistrationBasePrivate::withFrameworkKeys(
    const ServiceProperties& properties) const {
  ServiceProperties result = properties;
  result[Constants::OBJECTCLASS] = interfaceIds_;
  result[Constants::SERVICE_ID] = serviceId_;
  result[Constants::SERVICE_SCOPE] = std::string(Constants::SCOPE_SINGLETON);
  return result;
}

int ServiceRegistrationBasePrivate::ranking() const {
  const Any value = property("service.ranking");
  const int* ranking = any_cast<int>(&value);
  return ranking ? *ranking : 0;
}

bool ServiceRegistrationBasePrivate::offers(const std::string& interfaceId) const {
  return std::binary_search(interfaceIds_.begin(), interfaceIds_.end(), interfaceId);
}

bool ServiceRegistrationBasePrivate::isRegistered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return services_ != nullptr;
}

InterfaceMapConstPtr ServiceRegistrationBasePrivate::services() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return services_;
}

Any ServiceRegistrationBasePrivate::property(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto exact = properties_.find(key);
  if (exact != properties_.end()) return exact->second;
  for (const auto& entry : properties_) {
    if (equalIgnoringCase(entry.first, key)) return entry.second;
  }
  return Any();
}

std::vector<std::string> ServiceRegistrationBasePrivate::propertyKeys() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> keys;
  for (const auto& entry : properties_) keys.push_back(entry.first);
  return keys;
}

bool ServiceRegistrationBasePrivate::withdraw() {
  InterfaceMapConstPtr released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released.swap(services_);
  }
  return released != nullptr;
}

}  // namespace cppmicroservices
