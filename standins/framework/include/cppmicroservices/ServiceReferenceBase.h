#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cppmicroservices/Any.h"
#include "cppmicroservices/FrameworkExport.h"

namespace cppmicroservices {

class ServiceRegistrationBasePrivate;

// A reference to one registration, independent of the interface type. An
// empty reference (nothing found) converts to false.
class US_Framework_EXPORT ServiceReferenceBase {
 public:
  ServiceReferenceBase(const ServiceReferenceBase&) = default;
  ServiceReferenceBase(ServiceReferenceBase&&) noexcept = default;
  ServiceReferenceBase& operator=(const ServiceReferenceBase&) = default;
  ServiceReferenceBase& operator=(ServiceReferenceBase&&) noexcept = default;
  ServiceReferenceBase& operator=(std::nullptr_t);
  ~ServiceReferenceBase();

  explicit operator bool() const;

  // The property under key (exact match first, then ignoring case); an empty
  // Any when there is none. Properties stay readable after unregistration.
  Any GetProperty(const std::string& key) const;
  void GetPropertyKeys(std::vector<std::string>& keys) const;
  std::vector<std::string> GetPropertyKeys() const;

  // The interface id this reference was obtained for; empty when untyped.
  std::string GetInterfaceId() const;
  bool IsConvertibleTo(const std::string& interfaceId) const;

  bool operator==(const ServiceReferenceBase& other) const;
  bool operator!=(const ServiceReferenceBase& other) const { return !(*this == other); }
  bool operator<(const ServiceReferenceBase& other) const;

 protected:
  ServiceReferenceBase();
  ServiceReferenceBase(std::shared_ptr<ServiceRegistrationBasePrivate> registration,
                       std::string interfaceId);
  void SetInterfaceId(const std::string& interfaceId);

  friend class BundleContext;
  friend class Bundle;
  friend class ServiceRegistrationBase;

  std::shared_ptr<ServiceRegistrationBasePrivate> registration_;
  std::string interfaceId_;
};

}  // namespace cppmicroservices
