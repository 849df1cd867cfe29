#pragma once

// To be removed: kept only for start_options_input_test.cpp, which is being
// rewritten elsewhere; new code includes host_rig/rig_timing.h.
#include "host_rig/rig_timing.h"

namespace rocker_reliability {
using namespace velk::host_rig::timing;
}  // namespace rocker_reliability
