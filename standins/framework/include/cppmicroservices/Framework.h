#pragma once

#include <chrono>

#include "cppmicroservices/Bundle.h"
#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/FrameworkEvent.h"
#include "cppmicroservices/FrameworkExport.h"

namespace cppmicroservices {

// The system bundle: the framework itself. Start makes its context usable;
// Stop stops every other bundle (latest installed first) before it returns.
class US_Framework_EXPORT Framework : public Bundle {
 public:
  Framework(const Framework&) = default;
  Framework(Framework&&) noexcept = default;
  Framework& operator=(const Framework&) = default;
  Framework& operator=(Framework&&) noexcept = default;
  ~Framework() override;

  void Start();
  void Stop();

  // Waits until the framework is stopped or the timeout has passed; a zero
  // timeout waits without limit.
  FrameworkEvent WaitForStop(const std::chrono::milliseconds& timeout);

 private:
  Framework(std::shared_ptr<CoreContext> core, std::shared_ptr<BundlePrivate> system);
  friend class FrameworkFactory;
};

}  // namespace cppmicroservices
