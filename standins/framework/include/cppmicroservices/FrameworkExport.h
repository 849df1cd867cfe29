#pragma once

#include "cppmicroservices/GlobalConfig.h"

// Marks the framework's public classes and functions; they must stay visible
// to bundles that are compiled with -fvisibility=hidden.
#define US_Framework_EXPORT US_ABI_EXPORT
