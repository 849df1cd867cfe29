#include <stdexcept>
#include <utility>

#include "cppmicroservices/ServiceRegistrationBase.h"
#include "service_registration_base_private.h"

namespace cppmicroservices {

ServiceRegistrationBase::ServiceRegistrationBase() = default;

// Dropping a handle leaves the service registered.
ServiceRegistrationBase::~ServiceRegistrationBase() = default;

ServiceRegistrationBase::ServiceRegistrationBase(
    std::shared_ptr<ServiceRegistrationBasePrivate> registration)
    : registration_(std::move(registration)) {}

ServiceRegistrationBase& ServiceRegistrationBase::operator=(std::nullptr_t) {
  registration_.reset();
  return *this;
}

ServiceRegistrationBase::operator bool() const { return registration_ != nullptr; }

ServiceReferenceBase ServiceRegistrationBase::GetReference(const std::string& interfaceId) const {
  if (!registration_ || !registration_->isRegistered()) {
    throw std::logic_error("The service is not registered");
  }
  if (interfaceId.empty()) {
    return ServiceReferenceBase(registration_, registration_->interfaceIds().front());
  }
  if (!registration_->offers(interfaceId)) {
    throw std::logic_error("The service is not registered under " + interfaceId);
  }
  return ServiceReferenceBase(registration_, interfaceId);
}

void ServiceRegistrationBase::Unregister() {
  if (!registration_ || !registration_->withdraw()) {
    throw std::logic_error("The service is not registered");
  }
}

bool ServiceRegistrationBase::operator==(const ServiceRegistrationBase& other) const {
  return registration_ == other.registration_;
}

bool ServiceRegistrationBase::operator<(const ServiceRegistrationBase& other) const {
  return registration_ < other.registration_;
}

}  // namespace cppmicroservices
