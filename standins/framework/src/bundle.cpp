#include "cppmicroservices/Bundle.h"

#include <stdexcept>
#include <utility>

#include "bundle_private.h"
#include "core_context.h"
#include "cppmicroservices/BundleContext.h"

namespace cppmicroservices {

Bundle::Bundle() = default;
Bundle::~Bundle() = default;

Bundle::Bundle(std::shared_ptr<CoreContext> core, std::shared_ptr<BundlePrivate> bundle)
    : core_(std::move(core)), d_(std::move(bundle)) {}

void Bundle::requireValid() const {
  if (!d_) throw std::invalid_argument("Invalid bundle handle: it refers to no bundle");
}

Bundle::operator bool() const { return d_ != nullptr; }
bool Bundle::operator==(const Bundle& other) const { return d_ == other.d_; }
bool Bundle::operator<(const Bundle& other) const { return GetBundleId() < other.GetBundleId(); }

Bundle::State Bundle::GetState() const { return d_ ? d_->state() : STATE_UNINSTALLED; }

long Bundle::GetBundleId() const {
  requireValid();
  return d_->id();
}

// The stock framework names a bundle by its resource folder (the suffix of
// its entry points); the manifest's "bundle.symbolic_name" does not rename
// it.
std::string Bundle::GetSymbolicName() const {
  requireValid();
  return d_->manifest().name();
}

BundleContext Bundle::GetBundleContext() const {
  requireValid();
  return BundleContext(d_->context());
}

std::vector<ServiceReferenceU> Bundle::GetRegisteredServices() const {
  requireValid();
  std::vector<ServiceReferenceU> result;
  for (const auto& registration : core_->registry().registeredBy(d_->id())) {
    result.emplace_back(ServiceReferenceBase(registration, std::string()));
  }
  return result;
}

void Bundle::Start() {
  requireValid();
  core_->start(*d_);
}

void Bundle::Stop() {
  requireValid();
  core_->stop(*d_);
}

void Bundle::Uninstall() {
  requireValid();
  core_->uninstall(*d_);
}

}  // namespace cppmicroservices
