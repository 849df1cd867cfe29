#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "cppmicroservices/Any.h"
#include "cppmicroservices/ServiceInterface.h"
#include "cppmicroservices/ServiceProperties.h"

namespace cppmicroservices {

// One registration: the service object, its properties and whether it is
// still offered. Shared by the registry, registration handles and references.
class ServiceRegistrationBasePrivate {
 public:
  ServiceRegistrationBasePrivate(long serviceId, long bundleId, InterfaceMapConstPtr services,
                                 const ServiceProperties& properties);

  long serviceId() const { return serviceId_; }
  long bundleId() const { return bundleId_; }
  int ranking() const;
  const std::vector<std::string>& interfaceIds() const { return interfaceIds_; }
  bool offers(const std::string& interfaceId) const;

  bool isRegistered() const;
  // The service object; null once withdrawn.
  InterfaceMapConstPtr services() const;

  Any property(const std::string& key) const;
  std::vector<std::string> propertyKeys() const;

  // Withdraws the service; false when it was withdrawn before. The object is
  // released after the lock is left, because releasing the last reference
  // runs the service's destructor, which may call back into the framework.
  bool withdraw();

 private:
  ServiceProperties withFrameworkKeys(const ServiceProperties& properties) const;

  const long serviceId_;
  const long bundleId_;
  const std::vector<std::string> interfaceIds_;
  mutable std::mutex mutex_;
  InterfaceMapConstPtr services_;
  ServiceProperties properties_;
};

}  // namespace cppmicroservices
