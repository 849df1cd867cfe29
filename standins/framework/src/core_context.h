#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bundle_private.h"
#include "cppmicroservices/FrameworkEvent.h"
#include "service_registry.h"

namespace cppmicroservices {

// One framework instance: its bundles, their lifecycle and its services.
class CoreContext : public std::enable_shared_from_this<CoreContext> {
 public:
  using BundleRecord = std::shared_ptr<BundlePrivate>;

  CoreContext();
  // Stops what is still running, so that activators are not leaked.
  ~CoreContext();

  CoreContext(const CoreContext&) = delete;
  CoreContext& operator=(const CoreContext&) = delete;

  const BundleRecord& systemBundle() const { return system_; }
  std::vector<BundleRecord> bundles() const;
  std::vector<BundleRecord> install(const std::string& location);

  void start(BundlePrivate& bundle);
  void stop(BundlePrivate& bundle);
  void uninstall(BundlePrivate& bundle);

  void initFramework();
  FrameworkEvent waitForStop(std::chrono::milliseconds timeout);

  ServiceRegistry& registry() { return registry_; }

 private:
  void startBundle(BundlePrivate& bundle);
  void runActivatorStart(BundlePrivate& bundle, const std::shared_ptr<BundleContextPrivate>& ctx);
  // Stops every bundle, and the framework itself when it runs.
  void stopFramework();
  void stopAllBundles();
  // Stops one bundle; returns what its activator's Stop threw, if anything.
  std::exception_ptr stopBundle(BundlePrivate& bundle);
  void releaseActivator(BundlePrivate& bundle);
  void endContext(BundlePrivate& bundle);
  std::shared_ptr<BundleContextPrivate> newContext(BundlePrivate& bundle);

  // Serialises starts and stops; recursive because an activator may start or
  // stop bundles itself.
  std::recursive_mutex lifecycleMutex_;
  mutable std::mutex bundlesMutex_;
  std::vector<BundleRecord> bundles_;
  long nextBundleId_ = 1;
  BundleRecord system_;
  ServiceRegistry registry_;
  std::mutex stopMutex_;
  std::condition_variable stopped_;
};

}  // namespace cppmicroservices
