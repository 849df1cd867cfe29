#include "reliability/loaded_bundle.h"

#include <stdexcept>
#include <utility>

#include "cppmicroservices/FrameworkFactory.h"

namespace rocker_reliability {

namespace {

template <class Call>
LoadedBundle::Duration timed(Call call) {
  const auto begin = std::chrono::steady_clock::now();
  call();
  return std::chrono::steady_clock::now() - begin;
}

}  // namespace

LoadedBundle::LoadedBundle(const std::string& bundle_path)
    : framework_(cppmicroservices::FrameworkFactory().NewFramework()) {
  framework_.Start();
  auto context = framework_.GetBundleContext();
  auto bundles = context.InstallBundles(bundle_path);
  if (bundles.size() != 1) throw std::runtime_error("expected one bundle in " + bundle_path);
  bundle_ = bundles.front();
  bundle_.Start();
  auto reference = context.GetServiceReference<velk::common_interface::ZorvControlExtension>();
  extension_ = context.GetService(reference);
  if (!extension_) throw std::runtime_error("the bundle registered no extension service");
}

LoadedBundle::~LoadedBundle() {
  try {
    release();
  } catch (...) {
    // A failing test already reports what went wrong.
  }
}

velk::common_interface::ZorvControlExtension& LoadedBundle::extension() { return *extension_; }

LoadedBundle::Duration LoadedBundle::start(
    std::shared_ptr<velk::common_interface::ZorvApi> api,
    std::function<void(int, const char*, int, const std::string&)> log,
    const std::string& options) {
  return timed([&] { extension_->start(std::move(api), std::move(log), options); });
}

LoadedBundle::Duration LoadedBundle::stop() {
  return timed([&] { extension_->stop(); });
}

LoadedBundle::Duration LoadedBundle::release() {
  if (released_) return Duration::zero();
  released_ = true;
  return timed([&] {
    extension_.reset();
    bundle_.Stop();
    bundle_.Uninstall();
    framework_.Stop();
  });
}

}  // namespace rocker_reliability
