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

namespace velk::bench {

// The host's side, as the control system does it: a CppMicroServices
// framework, librocker.so installed from its file, the bundle started, its
// ZorvControlExtension service obtained and driven. The robot API it hands
// over is the simulated robot's, which this executable links, as a host
// provides its own.
class BenchHost {
 public:
  using LogCallback = std::function<void(int, const char*, int, const std::string&)>;

  // Starts the framework and installs the bundle; throws std::runtime_error
  // if the library is not a bundle.
  explicit BenchHost(const std::string& bundle_path);
  // Releases whatever is still held and stops the framework.
  ~BenchHost();
  BenchHost(const BenchHost&) = delete;
  BenchHost& operator=(const BenchHost&) = delete;

  // Starts the bundle (its activator registers the service) and obtains the
  // service; throws std::runtime_error when there is none.
  void startBundle();
  void startExtension(std::shared_ptr<common_interface::ZorvApi> api, LogCallback log,
                      const std::string& options);
  void stopExtension();
  // Drops the host's reference and stops the bundle: the framework withdraws
  // the service, which destroys the extension and everything it owns.
  void releaseExtension();
  bool bundleActive() const;

 private:
  cppmicroservices::Framework framework_;
  cppmicroservices::Bundle bundle_;
  std::shared_ptr<common_interface::ZorvControlExtension> extension_;
};

}  // namespace velk::bench
