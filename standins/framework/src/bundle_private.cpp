#include "bundle_private.h"

#include <utility>

namespace cppmicroservices {

BundlePrivate::BundlePrivate(long id, std::string location, BundleManifest manifest)
    : id_(id), location_(std::move(location)), manifest_(std::move(manifest)) {}

std::shared_ptr<BundleContextPrivate> BundlePrivate::context() const {
  std::lock_guard<std::mutex> lock(contextMutex_);
  return context_;
}

void BundlePrivate::setContext(std::shared_ptr<BundleContextPrivate> context) {
  std::lock_guard<std::mutex> lock(contextMutex_);
  context_.swap(context);
}

}  // namespace cppmicroservices
