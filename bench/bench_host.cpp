#include "bench/bench_host.h"

#include <chrono>
#include <stdexcept>
#include <utility>

#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/FrameworkEvent.h"
#include "cppmicroservices/FrameworkFactory.h"
#include "host/common_interface/zorv_api.h"
#include "host/common_interface/zorv_control_extension.h"

namespace velk::bench {

using common_interface::ZorvControlExtension;

BenchHost::BenchHost(const std::string& bundle_path)
    : framework_(cppmicroservices::FrameworkFactory().NewFramework()) {
  framework_.Start();
  auto bundles = framework_.GetBundleContext().InstallBundles(bundle_path);
  if (bundles.size() != 1) {
    framework_.Stop();
    throw std::runtime_error("no bundle in " + bundle_path);
  }
  bundle_ = bundles.front();
}

BenchHost::~BenchHost() {
  try {
    extension_.reset();
    if (bundleActive()) bundle_.Stop();
    framework_.Stop();
    framework_.WaitForStop(std::chrono::milliseconds(5000));
  } catch (...) {
    // Tearing down at the end of a run: nothing left to report to.
  }
}

void BenchHost::startBundle() {
  bundle_.Start();
  auto context = framework_.GetBundleContext();
  auto reference = context.GetServiceReference<ZorvControlExtension>();
  if (!reference) throw std::runtime_error("the bundle registered no ZorvControlExtension");
  extension_ = context.GetService(reference);
  if (!extension_) throw std::runtime_error("the ZorvControlExtension service is empty");
}

void BenchHost::startExtension(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                               const std::string& options) {
  extension_->start(std::move(api), std::move(log), options);
}

void BenchHost::stopExtension() { extension_->stop(); }

void BenchHost::releaseExtension() {
  extension_.reset();
  bundle_.Stop();
}

bool BenchHost::bundleActive() const {
  return bundle_ && bundle_.GetState() == cppmicroservices::Bundle::STATE_ACTIVE;
}

}  // namespace velk::bench
