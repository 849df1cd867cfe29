#include "core_context.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "bundle_archive.h"
#include "bundle_context_private.h"
#include "cppmicroservices/BundleContext.h"

namespace cppmicroservices {
namespace {

const char* const kSystemBundleName = "system_bundle";

std::string describe(const BundlePrivate& bundle) {
  return "Bundle #" + std::to_string(bundle.id()) + " (" + bundle.manifest().symbolicName() +
         ") at " + bundle.location();
}

std::string messageOf(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

bool isStarted(Bundle::State state) {
  return state == Bundle::STATE_STARTING || state == Bundle::STATE_ACTIVE ||
         state == Bundle::STATE_STOPPING;
}

}  // namespace

CoreContext::CoreContext()
    : system_(std::make_shared<BundlePrivate>(
          0, "System Bundle", BundleManifest(kSystemBundleName, kSystemBundleName, false))) {}

CoreContext::~CoreContext() {
  try {
    stopFramework();
  } catch (...) {
    // Nothing can be reported from here; every bundle was stopped regardless.
  }
}

std::vector<CoreContext::BundleRecord> CoreContext::bundles() const {
  std::lock_guard<std::mutex> lock(bundlesMutex_);
  std::vector<BundleRecord> all{system_};
  all.insert(all.end(), bundles_.begin(), bundles_.end());
  return all;
}

std::vector<CoreContext::BundleRecord> CoreContext::install(const std::string& location) {
  std::lock_guard<std::recursive_mutex> lifecycle(lifecycleMutex_);
  std::vector<BundleRecord> result;
  {
    std::lock_guard<std::mutex> lock(bundlesMutex_);
    for (const auto& b : bundles_) {
      if (b->location() == location) result.push_back(b);
    }
  }
  if (!result.empty()) return result;
  // Read every manifest first, so that a refused one installs nothing.
  const std::vector<BundleManifest> manifests = BundleArchive::readManifests(location);
  std::lock_guard<std::mutex> lock(bundlesMutex_);
  for (const auto& manifest : manifests) {
    result.push_back(std::make_shared<BundlePrivate>(nextBundleId_++, location, manifest));
    bundles_.push_back(result.back());
  }
  return result;
}

std::shared_ptr<BundleContextPrivate> CoreContext::newContext(BundlePrivate& bundle) {
  auto context = std::make_shared<BundleContextPrivate>(weak_from_this(), bundle.weak_from_this());
  bundle.setContext(context);
  return context;
}

void CoreContext::start(BundlePrivate& bundle) {
  std::lock_guard<std::recursive_mutex> lifecycle(lifecycleMutex_);
  if (&bundle == system_.get()) {
    initFramework();
    system_->setState(Bundle::STATE_ACTIVE);
    return;
  }
  startBundle(bundle);
}

void CoreContext::initFramework() {
  std::lock_guard<std::recursive_mutex> lifecycle(lifecycleMutex_);
  if (isStarted(system_->state())) return;
  newContext(*system_);
  std::lock_guard<std::mutex> lock(stopMutex_);
  system_->setState(Bundle::STATE_STARTING);
}

void CoreContext::startBundle(BundlePrivate& bundle) {
  const Bundle::State state = bundle.state();
  if (state == Bundle::STATE_UNINSTALLED) {
    throw std::logic_error(describe(bundle) + " is uninstalled and cannot be started");
  }
  if (isStarted(state)) return;
  bundle.setState(Bundle::STATE_STARTING);
  auto context = newContext(bundle);
  try {
    if (bundle.manifest().hasActivator()) runActivatorStart(bundle, context);
  } catch (...) {
    // Leave nothing of the failed start behind: no services, no activator.
    registry_.withdrawAllOf(bundle.id());
    releaseActivator(bundle);
    endContext(bundle);
    bundle.setState(Bundle::STATE_RESOLVED);
    std::throw_with_nested(std::runtime_error(
        describe(bundle) + " failed to start: " + messageOf(std::current_exception())));
  }
  bundle.setState(Bundle::STATE_ACTIVE);
}

void CoreContext::runActivatorStart(BundlePrivate& bundle,
                                    const std::shared_ptr<BundleContextPrivate>& context) {
  if (!bundle.library) bundle.library = std::make_unique<BundleLibrary>(bundle.location());
  const std::string& name = bundle.manifest().name();
  const auto setContext = bundle.library->function<BundlePrivate::SetContextFunction>(
      "_us_set_bundle_context_instance_" + name);
  const auto create = bundle.library->function<BundlePrivate::CreateActivatorFunction>(
      "_us_create_activator_" + name);
  const auto destroy = bundle.library->function<BundlePrivate::DestroyActivatorFunction>(
      "_us_destroy_activator_" + name);
  bundle.setLibraryContext = setContext;
  bundle.destroyActivator = destroy;
  setContext(context.get());
  bundle.activator = create();
  if (!bundle.activator) throw std::runtime_error("the bundle created no activator");
  bundle.activator->Start(BundleContext(context));
}

void CoreContext::stop(BundlePrivate& bundle) {
  std::lock_guard<std::recursive_mutex> lifecycle(lifecycleMutex_);
  if (&bundle == system_.get()) {
    stopFramework();
    return;
  }
  const std::exception_ptr failure = stopBundle(bundle);
  if (failure) {
    throw std::runtime_error(describe(bundle) + " failed to stop: " + messageOf(failure));
  }
}

std::exception_ptr CoreContext::stopBundle(BundlePrivate& bundle) {
  if (bundle.state() != Bundle::STATE_ACTIVE) return nullptr;
  bundle.setState(Bundle::STATE_STOPPING);
  std::exception_ptr failure;
  if (bundle.activator) {
    try {
      bundle.activator->Stop(BundleContext(bundle.context()));
    } catch (...) {
      failure = std::current_exception();
    }
  }
  registry_.withdrawAllOf(bundle.id());
  releaseActivator(bundle);
  endContext(bundle);
  bundle.setState(Bundle::STATE_RESOLVED);
  return failure;
}

void CoreContext::stopAllBundles() {
  std::vector<BundleRecord> all;
  {
    std::lock_guard<std::mutex> lock(bundlesMutex_);
    all = bundles_;
  }
  // Latest installed first: a bundle may use what an earlier one offers.
  std::reverse(all.begin(), all.end());
  for (const auto& b : all) stopBundle(*b);
}

void CoreContext::releaseActivator(BundlePrivate& bundle) {
  if (bundle.activator && bundle.destroyActivator) {
    try {
      bundle.destroyActivator(bundle.activator);
    } catch (...) {
      // A throwing activator destructor must not keep the bundle half-stopped.
    }
  }
  bundle.activator = nullptr;
  if (bundle.setLibraryContext) bundle.setLibraryContext(nullptr);
}

void CoreContext::endContext(BundlePrivate& bundle) {
  if (auto context = bundle.context()) context->invalidate();
  bundle.setContext(nullptr);
}

void CoreContext::stopFramework() {
  std::lock_guard<std::recursive_mutex> lifecycle(lifecycleMutex_);
  const bool running = isStarted(system_->state());
  if (running) system_->setState(Bundle::STATE_STOPPING);
  stopAllBundles();
  if (!running) return;
  registry_.withdrawAllOf(system_->id());
  endContext(*system_);
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    system_->setState(Bundle::STATE_RESOLVED);
  }
  stopped_.notify_all();
}

void CoreContext::uninstall(BundlePrivate& bundle) {
  std::lock_guard<std::recursive_mutex> lifecycle(lifecycleMutex_);
  if (&bundle == system_.get()) throw std::logic_error("The system bundle cannot be uninstalled");
  const std::exception_ptr failure = stopBundle(bundle);
  bundle.setState(Bundle::STATE_UNINSTALLED);
  {
    std::lock_guard<std::mutex> lock(bundlesMutex_);
    bundles_.erase(std::remove_if(bundles_.begin(), bundles_.end(),
                                  [&](const BundleRecord& b) { return b.get() == &bundle; }),
                   bundles_.end());
  }
  if (failure) {
    throw std::runtime_error(describe(bundle) + " failed to stop: " + messageOf(failure));
  }
}

FrameworkEvent CoreContext::waitForStop(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(stopMutex_);
  auto isStopped = [this] { return !isStarted(system_->state()); };
  if (timeout.count() <= 0) {
    stopped_.wait(lock, isStopped);
  } else if (!stopped_.wait_for(lock, timeout, isStopped)) {
    return FrameworkEvent(FrameworkEvent::Type::FRAMEWORK_WAIT_TIMEDOUT,
                          "The framework did not stop in time");
  }
  return FrameworkEvent(FrameworkEvent::Type::FRAMEWORK_STOPPED, "The framework stopped");
}

}  // namespace cppmicroservices
