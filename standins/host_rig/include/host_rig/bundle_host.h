#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "common/log_callback.h"
#include "cppmicroservices/Bundle.h"
#include "cppmicroservices/Framework.h"

namespace velk::common_interface {
class ZorvApi;
class ZorvControlExtension;
}  // namespace velk::common_interface

namespace velk::host_rig {

// The host's side of the bundle, done the way the control system does it:
// a CppMicroServices framework, the bundle installed from its library file
// (dlopen) and started, its ZorvControlExtension service obtained, then
// start() and stop() on it; at the end the service released, the bundle and
// the framework stopped. The host's calls are timed, because a host thread
// must not be held up by what happens on the bus.
//
//   BundleHost host(bundle_path);
//   host.start(robot.api(), log.callback(), options);
//   const auto took = host.stop();
//   const auto released = host.release();  // extension destroyed, framework stopped
class BundleHost {
 public:
  using Duration = std::chrono::steady_clock::duration;
  // Whether the constructor starts the bundle too, or startBundle() does.
  enum class Start { kNow, kLater };

  // Starts the framework and installs the bundle. Throws std::runtime_error
  // naming what failed: a bundle built for the other framework (refused
  // before it is loaded, which would crash the host), a file that holds no
  // bundle.
  explicit BundleHost(const std::string& bundle_path, Start start = Start::kNow);
  // shutdown(); never throws.
  ~BundleHost();
  BundleHost(const BundleHost&) = delete;
  BundleHost& operator=(const BundleHost&) = delete;

  // Starts the bundle (its activator registers the service) and obtains the
  // service; throws std::runtime_error when there is none.
  void startBundle();
  // Exceptions from the extension's start() (start options that are not
  // TOML) pass through.
  Duration start(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                 const std::string& options);
  // Stops the extension if it was started.
  Duration stop();
  // Drops the host's reference and stops the bundle: the framework withdraws
  // the service, which destroys the extension and everything it owns. The
  // bundle may be started again.
  Duration releaseExtension();
  // releaseExtension(), then uninstalls the bundle and stops the framework.
  Duration release();
  // stop(), then release().
  void shutdown();

  common_interface::ZorvControlExtension& extension();
  bool bundleActive() const;

 private:
  void install(const std::string& bundle_path);

  cppmicroservices::Framework framework_;
  cppmicroservices::Bundle bundle_;
  std::shared_ptr<common_interface::ZorvControlExtension> extension_;
  bool started_ = false;
  bool released_ = false;
};

}  // namespace velk::host_rig
