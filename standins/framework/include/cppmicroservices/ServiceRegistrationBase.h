#pragma once

#include <memory>
#include <string>

#include "cppmicroservices/FrameworkExport.h"
#include "cppmicroservices/ServiceProperties.h"
#include "cppmicroservices/ServiceReferenceBase.h"

namespace cppmicroservices {

// The handle of one registration. Copies share it; dropping every copy leaves
// the service registered: only Unregister() (or the owning bundle's stop)
// withdraws it.
class US_Framework_EXPORT ServiceRegistrationBase {
 public:
  ServiceRegistrationBase();
  ServiceRegistrationBase(const ServiceRegistrationBase&) = default;
  ServiceRegistrationBase(ServiceRegistrationBase&&) noexcept = default;
  ServiceRegistrationBase& operator=(const ServiceRegistrationBase&) = default;
  ServiceRegistrationBase& operator=(ServiceRegistrationBase&&) noexcept = default;
  ServiceRegistrationBase& operator=(std::nullptr_t);
  ~ServiceRegistrationBase();

  explicit operator bool() const;

  // A reference for the given interface id (the first registered one when
  // empty). Throws std::logic_error once the service was unregistered.
  ServiceReferenceBase GetReference(const std::string& interfaceId = std::string()) const;

  // Withdraws the service. Throws std::logic_error when already withdrawn.
  void Unregister();

  bool operator==(const ServiceRegistrationBase& other) const;
  bool operator<(const ServiceRegistrationBase& other) const;

 protected:
  explicit ServiceRegistrationBase(std::shared_ptr<ServiceRegistrationBasePrivate> registration);

  friend class BundleContext;

  std::shared_ptr<ServiceRegistrationBasePrivate> registration_;
};

}  // namespace cppmicroservices
