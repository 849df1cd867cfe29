#pragma once

#include <atomic>

#include "cppmicroservices/GlobalConfig.h"

namespace cppmicroservices {
class BundleContextPrivate;
}

// Defines the bundle-global context pointer, the exported function through
// which the framework sets it and the bundle-internal function that reads it.
#define CPPMICROSERVICES_INITIALIZE_BUNDLE                                                     \
  std::atomic<cppmicroservices::BundleContextPrivate*> US_CONCAT(_us_bundle_context_instance_, \
                                                                 US_BUNDLE_NAME){nullptr};     \
  extern "C" US_ABI_LOCAL cppmicroservices::BundleContextPrivate* US_CONCAT(                   \
      _us_get_bundle_context_instance_, US_BUNDLE_NAME)() {                                    \
    return US_CONCAT(_us_bundle_context_instance_, US_BUNDLE_NAME).load();                     \
  }                                                                                            \
  extern "C" US_ABI_EXPORT void US_CONCAT(_us_set_bundle_context_instance_, US_BUNDLE_NAME)(   \
      cppmicroservices::BundleContextPrivate * ctx) {                                          \
    US_CONCAT(_us_bundle_context_instance_, US_BUNDLE_NAME).store(ctx);                        \
  }
