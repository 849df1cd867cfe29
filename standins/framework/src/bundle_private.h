#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "bundle_library.h"
#include "bundle_manifest.h"
#include "cppmicroservices/Bundle.h"
#include "cppmicroservices/BundleActivator.h"

namespace cppmicroservices {

class BundleContextPrivate;

// The framework's record of one installed bundle.
class BundlePrivate : public std::enable_shared_from_this<BundlePrivate> {
 public:
  using SetContextFunction = void (*)(BundleContextPrivate*);
  using CreateActivatorFunction = BundleActivator* (*)();
  using DestroyActivatorFunction = void (*)(BundleActivator*);

  BundlePrivate(long id, std::string location, BundleManifest manifest);

  long id() const { return id_; }
  const std::string& location() const { return location_; }
  const BundleManifest& manifest() const { return manifest_; }

  Bundle::State state() const { return state_.load(); }
  void setState(Bundle::State state) { state_.store(state); }

  // The context of the current start; null while the bundle is not started.
  std::shared_ptr<BundleContextPrivate> context() const;
  void setContext(std::shared_ptr<BundleContextPrivate> context);

  // Only touched under the framework's lifecycle lock.
  std::unique_ptr<BundleLibrary> library;
  SetContextFunction setLibraryContext = nullptr;
  DestroyActivatorFunction destroyActivator = nullptr;
  BundleActivator* activator = nullptr;

 private:
  const long id_;
  const std::string location_;
  const BundleManifest manifest_;
  std::atomic<Bundle::State> state_{Bundle::STATE_INSTALLED};
  mutable std::mutex contextMutex_;
  std::shared_ptr<BundleContextPrivate> context_;
};

}  // namespace cppmicroservices
