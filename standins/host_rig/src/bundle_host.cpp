#include "host_rig/bundle_host.h"

#include <stdexcept>
#include <utility>

#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/FrameworkEvent.h"
#include "cppmicroservices/FrameworkFactory.h"
#include "host/common_interface/zorv_api.h"
#include "host/common_interface/zorv_control_extension.h"
#include "host_rig/framework_match.h"

namespace velk::host_rig {

namespace {

using common_interface::ZorvControlExtension;

constexpr std::chrono::milliseconds kFrameworkStopWait{10000};

template <class Call>
BundleHost::Duration timed(Call call) {
  const auto begin = std::chrono::steady_clock::now();
  call();
  return std::chrono::steady_clock::now() - begin;
}

}  // namespace

BundleHost::BundleHost(const std::string& bundle_path, Start start)
    : framework_(cppmicroservices::FrameworkFactory().NewFramework()) {
  if (const auto problem = FrameworkMatch::problem(bundle_path)) {
    throw std::runtime_error(*problem);
  }
  framework_.Start();
  try {
    install(bundle_path);
    if (start == Start::kNow) startBundle();
  } catch (const std::exception& e) {
    framework_.Stop();
    framework_.WaitForStop(kFrameworkStopWait);
    throw std::runtime_error("cannot load the bundle " + bundle_path + ": " + e.what());
  }
}

void BundleHost::install(const std::string& bundle_path) {
  const auto bundles = framework_.GetBundleContext().InstallBundles(bundle_path);
  if (bundles.size() != 1) throw std::runtime_error("the file holds no single bundle");
  bundle_ = bundles.front();
}

BundleHost::~BundleHost() {
  try {
    shutdown();
  } catch (...) {
    // Nothing sensible is left to do on the way out.
  }
}

void BundleHost::startBundle() {
  bundle_.Start();
  auto context = framework_.GetBundleContext();
  auto reference = context.GetServiceReference<ZorvControlExtension>();
  if (!reference) throw std::runtime_error("the bundle offers no ZorvControlExtension service");
  extension_ = context.GetService(reference);
  if (!extension_) throw std::runtime_error("the ZorvControlExtension service is not available");
}

BundleHost::Duration BundleHost::start(std::shared_ptr<common_interface::ZorvApi> api,
                                       LogCallback log, const std::string& options) {
  started_ = true;  // a start() that throws may still have left a thread behind
  return timed([&] { extension_->start(std::move(api), std::move(log), options); });
}

BundleHost::Duration BundleHost::stop() {
  if (!started_ || !extension_) return Duration::zero();
  started_ = false;
  return timed([&] { extension_->stop(); });
}

BundleHost::Duration BundleHost::releaseExtension() {
  started_ = false;
  return timed([&] {
    // Dropping the last reference destroys the extension, which joins the
    // bundle's threads; the bundle's code must still be loaded for that.
    extension_.reset();
    if (bundleActive()) bundle_.Stop();
  });
}

BundleHost::Duration BundleHost::release() {
  if (released_) return Duration::zero();
  released_ = true;
  return timed([&] {
    releaseExtension();
    if (bundle_) bundle_.Uninstall();
    framework_.Stop();
    framework_.WaitForStop(kFrameworkStopWait);
  });
}

void BundleHost::shutdown() {
  stop();
  release();
}

ZorvControlExtension& BundleHost::extension() {
  if (!extension_) throw std::logic_error("the bundle has not been started");
  return *extension_;
}

bool BundleHost::bundleActive() const {
  return bundle_ && bundle_.GetState() == cppmicroservices::Bundle::STATE_ACTIVE;
}

}  // namespace velk::host_rig
