#pragma once

#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/GlobalConfig.h"

namespace cppmicroservices {

// What a bundle implements to be told when it starts and stops.
class US_Framework_EXPORT BundleActivator {
 public:
  virtual ~BundleActivator();
  virtual void Start(BundleContext context) = 0;
  virtual void Stop(BundleContext context) = 0;
};

}  // namespace cppmicroservices

// Defines the two exported C functions through which the framework creates
// and destroys the bundle's activator; their names end in US_BUNDLE_NAME.
#define CPPMICROSERVICES_EXPORT_BUNDLE_ACTIVATOR(_activator_type)                              \
  extern "C" US_ABI_EXPORT cppmicroservices::BundleActivator* US_CONCAT(_us_create_activator_, \
                                                                        US_BUNDLE_NAME)() {    \
    return new _activator_type();                                                              \
  }                                                                                            \
  extern "C" US_ABI_EXPORT void US_CONCAT(                                                     \
      _us_destroy_activator_, US_BUNDLE_NAME)(cppmicroservices::BundleActivator * activator) { \
    delete activator;                                                                          \
  }
