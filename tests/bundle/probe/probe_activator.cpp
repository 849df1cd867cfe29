#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "cppmicroservices/BundleActivator.h"
#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/BundleInitialization.h"
#include "cppmicroservices/ServiceProperties.h"
#include "probe/greeter.h"

CPPMICROSERVICES_INITIALIZE_BUNDLE

namespace {

std::atomic<int> liveActivators{0};

class ProbeGreeter : public probe::Greeter {
 public:
  explicit ProbeGreeter(bool sawContext) : sawContext_(sawContext) {}
  std::string greet() const override { return "hello from probe"; }
  int liveActivators() const override { return ::liveActivators.load(); }
  bool sawOwnContext() const override { return sawContext_; }

 private:
  bool sawContext_;
};

// Registers a Greeter; with PROBE_FAIL_START set it throws after registering,
// to show that a failed start leaves nothing registered.
class ProbeActivator : public cppmicroservices::BundleActivator {
 public:
  ProbeActivator() { ++liveActivators; }
  ~ProbeActivator() override { --liveActivators; }
  ProbeActivator(const ProbeActivator&) = delete;
  ProbeActivator& operator=(const ProbeActivator&) = delete;

  void Start(cppmicroservices::BundleContext context) override {
    const bool sawContext =
        _us_get_bundle_context_instance_probe() == cppmicroservices::GetPrivate(context).get();
    cppmicroservices::ServiceProperties properties;
    properties["Flavor"] = std::string("plain");
    context.RegisterService<probe::Greeter>(std::make_shared<ProbeGreeter>(sawContext), properties);
    if (std::getenv("PROBE_FAIL_START")) throw std::runtime_error("probe start refused");
  }
  void Stop(cppmicroservices::BundleContext /*context*/) override {}
};

}  // namespace

CPPMICROSERVICES_EXPORT_BUNDLE_ACTIVATOR(ProbeActivator)
