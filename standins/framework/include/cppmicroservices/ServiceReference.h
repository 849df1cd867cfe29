#pragma once

#include <type_traits>

#include "cppmicroservices/ServiceInterface.h"
#include "cppmicroservices/ServiceReferenceBase.h"

namespace cppmicroservices {

// A reference typed by the interface S it was looked up for. Converting a
// reference whose service does not offer S gives an empty reference.
template <class S>
class ServiceReference : public ServiceReferenceBase {
 public:
  using ServiceType = S;

  ServiceReference() = default;

  ServiceReference(const ServiceReferenceBase& base)  // NOLINT: converts like the stock API
      : ServiceReferenceBase(base) {
    if constexpr (!std::is_void_v<S>) {
      const std::string id = us_service_interface_iid<S>();
      if (GetInterfaceId() == id) return;
      if (IsConvertibleTo(id)) {
        SetInterfaceId(id);
      } else {
        ServiceReferenceBase::operator=(nullptr);
      }
    }
  }

  ServiceReference& operator=(std::nullptr_t) {
    ServiceReferenceBase::operator=(nullptr);
    return *this;
  }
};

// A reference that is not bound to an interface id.
using ServiceReferenceU = ServiceReference<void>;

}  // namespace cppmicroservices
