#include "cppmicroservices/BundleActivator.h"

namespace cppmicroservices {

// Out of line so that the class's vtable and type info live in the framework.
BundleActivator::~BundleActivator() = default;

}  // namespace cppmicroservices
