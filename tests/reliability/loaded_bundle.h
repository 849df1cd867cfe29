#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "cppmicroservices/Bundle.h"
#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/Framework.h"
#include "host/common_interface/zorv_control_extension.h"

namespace velk::common_interface {
class ZorvApi;
}

namespace rocker_reliability {

// librocker.so as a host holds it: a framework started, the bundle
// installed from `bundle_path` (dlopen) and started, and its extension
// service obtained. The host's calls are timed, because a host thread must
// not be held up by what happens on the bus.
//
//   LoadedBundle rocker(ROCKER_BUNDLE_PATH);
//   rocker.start(robot.api(), log.callback(), options);
//   const auto took = rocker.stop();
//   const auto released = rocker.release();  // extension destroyed, bundle stopped
class LoadedBundle {
 public:
  using Duration = std::chrono::steady_clock::duration;

  explicit LoadedBundle(const std::string& bundle_path);
  // Releases what release() has not.
  ~LoadedBundle();
  LoadedBundle(const LoadedBundle&) = delete;
  LoadedBundle& operator=(const LoadedBundle&) = delete;

  velk::common_interface::ZorvControlExtension& extension();
  Duration start(std::shared_ptr<velk::common_interface::ZorvApi> api,
                 std::function<void(int, const char*, int, const std::string&)> log,
                 const std::string& options);
  Duration stop();
  // Drops the host's reference, stops and uninstalls the bundle and stops
  // the framework: the extension's destructor and everything it releases
  // run inside. Returns how long that took.
  Duration release();

 private:
  cppmicroservices::Framework framework_;
  cppmicroservices::Bundle bundle_;
  std::shared_ptr<velk::common_interface::ZorvControlExtension> extension_;
  bool released_ = false;
};

}  // namespace rocker_reliability
