#include "bundle_context_private.h"

#include <utility>

namespace cppmicroservices {

BundleContextPrivate::BundleContextPrivate(std::weak_ptr<CoreContext> core,
                                           std::weak_ptr<BundlePrivate> bundle)
    : core_(std::move(core)), bundle_(std::move(bundle)) {}

bool BundleContextPrivate::isValid() const { return valid_.load() && !core_.expired(); }

std::shared_ptr<CoreContext> BundleContextPrivate::core() const {
  return valid_.load() ? core_.lock() : nullptr;
}

std::shared_ptr<BundlePrivate> BundleContextPrivate::bundle() const {
  return valid_.load() ? bundle_.lock() : nullptr;
}

}  // namespace cppmicroservices
