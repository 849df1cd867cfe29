#pragma once

#include <atomic>
#include <memory>

namespace cppmicroservices {

class CoreContext;
class BundlePrivate;

// The state behind a BundleContext; its address is what a bundle's library
// is given. Holds its framework and bundle weakly so that contexts kept by a
// bundle keep neither alive.
class BundleContextPrivate : public std::enable_shared_from_this<BundleContextPrivate> {
 public:
  BundleContextPrivate(std::weak_ptr<CoreContext> core, std::weak_ptr<BundlePrivate> bundle);

  bool isValid() const;
  void invalidate() { valid_.store(false); }

  // Null when the context was invalidated or the framework is gone.
  std::shared_ptr<CoreContext> core() const;
  std::shared_ptr<BundlePrivate> bundle() const;

 private:
  const std::weak_ptr<CoreContext> core_;
  const std::weak_ptr<BundlePrivate> bundle_;
  std::atomic<bool> valid_{true};
};

}  // namespace cppmicroservices
