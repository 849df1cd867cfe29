#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cppmicroservices/Bundle.h"
#include "cppmicroservices/Framework.h"

namespace velk::common_interface {
class ZorvApi;
class ZorvControlExtension;
}  // namespace velk::common_interface

namespace velk::rocker_sim {

// The host's side of the bundle, done the way the control system does it:
// a CppMicroServices framework, the bundle installed from its library file
// and started, its ZorvControlExtension service obtained, then start() and
// stop() on it; at the end the service released, the bundle and the
// framework stopped.
class BundleHost {
 public:
  using LogCallback = std::function<void(int, const char*, int, const std::string&)>;

  // Throws std::runtime_error naming what failed (installing, starting, no
  // service); the framework is stopped again then.
  explicit BundleHost(const std::string& bundle_path);
  // Shuts down if that has not happened; never throws.
  ~BundleHost();
  BundleHost(const BundleHost&) = delete;
  BundleHost& operator=(const BundleHost&) = delete;

  // Exceptions from the extension's start() (a start options text that is
  // not TOML) pass through.
  void start(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
             const std::string& options);
  void stop();
  // Stops the extension if it runs, releases it, stops the bundle and the
  // framework, and waits for the framework to end.
  void shutdown();

 private:
  void load(const std::string& bundle_path);

  cppmicroservices::Framework framework_;
  cppmicroservices::Bundle bundle_;
  std::shared_ptr<common_interface::ZorvControlExtension> extension_;
  bool started_ = false;
  bool shut_down_ = false;
};

}  // namespace velk::rocker_sim
