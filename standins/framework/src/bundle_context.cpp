#include <stdexcept>
#include <utility>

#include "bundle_context_private.h"
#include "core_context.h"
#include "cppmicroservices/BundleContext.h"

namespace cppmicroservices {

BundleContext::BundleContext() = default;
BundleContext::~BundleContext() = default;

BundleContext::BundleContext(std::shared_ptr<BundleContextPrivate> context)
    : d_(std::move(context)) {}

BundleContext::operator bool() const { return d_ && d_->isValid(); }
bool BundleContext::operator==(const BundleContext& other) const { return d_ == other.d_; }

BundleContextPrivate& BundleContext::requireValid() const {
  if (!d_ || !d_->isValid()) throw std::runtime_error("The bundle context is no longer valid");
  return *d_;
}

namespace {

struct Resolved {
  std::shared_ptr<CoreContext> core;
  std::shared_ptr<BundlePrivate> bundle;
};

Resolved resolve(const BundleContextPrivate& context) {
  Resolved r{context.core(), context.bundle()};
  if (!r.core || !r.bundle) throw std::runtime_error("The bundle context is no longer valid");
  return r;
}

}  // namespace

std::vector<Bundle> BundleContext::GetBundles() const {
  Resolved r = resolve(requireValid());
  std::vector<Bundle> result;
  for (const auto& b : r.core->bundles()) result.push_back(Bundle(r.core, b));
  return result;
}

std::vector<Bundle> BundleContext::InstallBundles(const std::string& location) {
  Resolved r = resolve(requireValid());
  std::vector<Bundle> result;
  for (const auto& b : r.core->install(location)) result.push_back(Bundle(r.core, b));
  return result;
}

ServiceRegistrationU BundleContext::RegisterService(const InterfaceMapConstPtr& service,
                                                    const ServiceProperties& properties) {
  Resolved r = resolve(requireValid());
  return ServiceRegistrationBase(r.core->registry().add(r.bundle->id(), service, properties));
}

std::vector<ServiceReferenceU> BundleContext::GetServiceReferences(const std::string& clazz,
                                                                   const std::string& filter) {
  Resolved r = resolve(requireValid());
  if (!filter.empty()) {
    throw std::invalid_argument("Service filters are not supported by this framework: " + filter);
  }
  std::vector<ServiceReferenceU> result;
  for (const auto& registration : r.core->registry().find(clazz)) {
    result.emplace_back(ServiceReferenceBase(registration, clazz));
  }
  return result;
}

ServiceReferenceU BundleContext::GetServiceReference(const std::string& clazz) {
  auto all = GetServiceReferences(clazz);
  return all.empty() ? ServiceReferenceU() : all.front();
}

InterfaceMapConstPtr BundleContext::GetService(const ServiceReferenceU& reference) {
  requireValid();
  if (!reference) throw std::invalid_argument("GetService needs a valid service reference");
  return reference.registration_->services();
}

BundleContext MakeBundleContext(BundleContextPrivate* context) {
  return context ? BundleContext(context->shared_from_this()) : BundleContext();
}

std::shared_ptr<BundleContextPrivate> GetPrivate(const BundleContext& context) {
  return context.d_;
}

}  // namespace cppmicroservices
