#include <memory>
#include <string>

#include "bundle_activator/rocker_extension.h"
#include "cppmicroservices/BundleActivator.h"
#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/ServiceProperties.h"
#include "host/common_interface/zorv_control_extension.h"

namespace {

// Registers the rocker extension when the framework starts the bundle. The
// framework withdraws the registration itself when it stops the bundle.
class Activator : public cppmicroservices::BundleActivator {
 public:
  void Start(cppmicroservices::BundleContext context) override {
    cppmicroservices::ServiceProperties properties;
    properties["Name"] = std::string("rocker");
    properties["VendorName"] = std::string("zorv");
    properties["Version"] = 0;
    // Neither the registration handle nor the extension is kept: the
    // framework's registry, and whoever obtains the service, own it.
    context.RegisterService<velk::common_interface::ZorvControlExtension>(
        velk::zorv_comm::makeRockerExtension(), properties);
  }

  void Stop(cppmicroservices::BundleContext /*context*/) override {}
};

}  // namespace

CPPMICROSERVICES_EXPORT_BUNDLE_ACTIVATOR(Activator)
