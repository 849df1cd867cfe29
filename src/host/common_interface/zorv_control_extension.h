#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace velk::common_interface {

class ZorvApi;

// What the host sees of an extension: the service it obtains from a bundle.
class ZorvControlExtension {
 public:
  virtual ~ZorvControlExtension() = default;
  virtual void start(std::shared_ptr<ZorvApi> api,
                     std::function<void(int, const char*, int, const std::string&)> log,
                     const std::string& options) = 0;
  virtual void stop() = 0;
  virtual int parseCmdLine(int argc, char** argv, std::ostream& out) = 0;
};

}  // namespace velk::common_interface
