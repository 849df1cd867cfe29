#include "cppmicroservices/BundleInitialization.h"

// The bundle-global context pointer and the entry point that sets it.
CPPMICROSERVICES_INITIALIZE_BUNDLE
