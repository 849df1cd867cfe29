#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cppmicroservices/ServiceInterface.h"
#include "cppmicroservices/ServiceProperties.h"
#include "service_registration_base_private.h"

namespace cppmicroservices {

// The services registered in one framework.
class ServiceRegistry {
 public:
  using Registration = std::shared_ptr<ServiceRegistrationBasePrivate>;

  // Throws std::invalid_argument for a null or empty interface map.
  Registration add(long bundleId, const InterfaceMapConstPtr& services,
                   const ServiceProperties& properties);

  // Registered services offering interfaceId, best first: highest
  // "service.ranking", then lowest service id.
  std::vector<Registration> find(const std::string& interfaceId) const;

  std::vector<Registration> registeredBy(long bundleId) const;

  // Withdraws every service the bundle registered.
  void withdrawAllOf(long bundleId);

 private:
  std::vector<Registration> registered() const;

  mutable std::mutex mutex_;
  long nextServiceId_ = 1;
  std::vector<Registration> registrations_;
};

}  // namespace cppmicroservices
