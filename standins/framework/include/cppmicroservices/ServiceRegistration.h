#pragma once

#include "cppmicroservices/ServiceReference.h"
#include "cppmicroservices/ServiceRegistrationBase.h"

namespace cppmicroservices {

// The registration handle typed by the interfaces it was registered for.
template <class I1, class... Interfaces>
class ServiceRegistration : public ServiceRegistrationBase {
 public:
  ServiceRegistration() = default;
  ServiceRegistration(const ServiceRegistrationBase& base)  // NOLINT: converts like the stock API
      : ServiceRegistrationBase(base) {}

  ServiceRegistration& operator=(std::nullptr_t) {
    ServiceRegistrationBase::operator=(nullptr);
    return *this;
  }

  template <class Interface = I1>
  ServiceReference<Interface> GetReference() const {
    if constexpr (std::is_void_v<Interface>) {
      return ServiceRegistrationBase::GetReference(std::string());
    } else {
      return ServiceRegistrationBase::GetReference(us_service_interface_iid<Interface>());
    }
  }
};

// A registration handle not bound to interface types.
using ServiceRegistrationU = ServiceRegistration<void>;

}  // namespace cppmicroservices
