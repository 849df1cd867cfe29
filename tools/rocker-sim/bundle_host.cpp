#include "rocker-sim/bundle_host.h"

#include <chrono>
#include <stdexcept>

#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/FrameworkEvent.h"
#include "cppmicroservices/FrameworkFactory.h"
#include "host/common_interface/zorv_control_extension.h"

namespace velk::rocker_sim {

namespace {

constexpr std::chrono::milliseconds kFrameworkStopWait{10000};

}  // namespace

BundleHost::BundleHost(const std::string& bundle_path)
    : framework_(cppmicroservices::FrameworkFactory().NewFramework()) {
  framework_.Start();
  try {
    load(bundle_path);
  } catch (const std::exception& e) {
    extension_.reset();
    framework_.Stop();
    framework_.WaitForStop(kFrameworkStopWait);
    throw std::runtime_error("cannot load the bundle " + bundle_path + ": " + e.what());
  }
}

void BundleHost::load(const std::string& bundle_path) {
  auto context = framework_.GetBundleContext();
  const auto bundles = context.InstallBundles(bundle_path);
  if (bundles.empty()) throw std::runtime_error("the file holds no bundle");
  bundle_ = bundles.front();
  bundle_.Start();
  auto reference = context.GetServiceReference<common_interface::ZorvControlExtension>();
  if (!reference) throw std::runtime_error("the bundle offers no ZorvControlExtension service");
  extension_ = context.GetService(reference);
  if (!extension_) throw std::runtime_error("the ZorvControlExtension service is not available");
}

BundleHost::~BundleHost() {
  try {
    shutdown();
  } catch (...) {
    // Nothing sensible is left to do on the way out.
  }
}

void BundleHost::start(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                       const std::string& options) {
  started_ = true;  // a start() that throws may still have left a thread behind
  extension_->start(std::move(api), std::move(log), options);
}

void BundleHost::stop() {
  if (!started_) return;
  started_ = false;
  extension_->stop();
}

void BundleHost::shutdown() {
  if (shut_down_) return;
  shut_down_ = true;
  stop();
  // Dropping the last references destroys the extension, which joins the
  // bundle's threads; the bundle's code must still be loaded for that.
  extension_.reset();
  bundle_.Stop();
  framework_.Stop();
  framework_.WaitForStop(kFrameworkStopWait);
}

}  // namespace velk::rocker_sim
