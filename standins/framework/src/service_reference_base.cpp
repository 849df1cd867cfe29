#include <utility>

#include "cppmicroservices/ServiceReferenceBase.h"
#include "service_registration_base_private.h"

namespace cppmicroservices {

ServiceReferenceBase::ServiceReferenceBase() = default;
ServiceReferenceBase::~ServiceReferenceBase() = default;

ServiceReferenceBase::ServiceReferenceBase(
    std::shared_ptr<ServiceRegistrationBasePrivate> registration, std::string interfaceId)
    : registration_(std::move(registration)), interfaceId_(std::move(interfaceId)) {}

ServiceReferenceBase& ServiceReferenceBase::operator=(std::nullptr_t) {
  registration_.reset();
  interfaceId_.clear();
  return *this;
}

ServiceReferenceBase::operator bool() const { return registration_ != nullptr; }

Any ServiceReferenceBase::GetProperty(const std::string& key) const {
  return registration_ ? registration_->property(key) : Any();
}

void ServiceReferenceBase::GetPropertyKeys(std::vector<std::string>& keys) const {
  keys = GetPropertyKeys();
}

std::vector<std::string> ServiceReferenceBase::GetPropertyKeys() const {
  return registration_ ? registration_->propertyKeys() : std::vector<std::string>();
}

std::string ServiceReferenceBase::GetInterfaceId() const { return interfaceId_; }

void ServiceReferenceBase::SetInterfaceId(const std::string& interfaceId) {
  interfaceId_ = interfaceId;
}

bool ServiceReferenceBase::IsConvertibleTo(const std::string& interfaceId) const {
  return registration_ && registration_->offers(interfaceId);
}

bool ServiceReferenceBase::operator==(const ServiceReferenceBase& other) const {
  return registration_ == other.registration_;
}

// Ordered so that the better service is the greater one: lower ranking is
// less, and at equal ranking the later registration is less.
bool ServiceReferenceBase::operator<(const ServiceReferenceBase& other) const {
  if (!registration_ || !other.registration_) return !registration_ && other.registration_;
  const int r1 = registration_->ranking();
  const int r2 = other.registration_->ranking();
  if (r1 != r2) return r1 < r2;
  return registration_->serviceId() > other.registration_->serviceId();
}

}  // namespace cppmicroservices
