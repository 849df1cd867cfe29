#pragma once

#include "host_rig/rig_timing.h"

namespace rocker_reliability {
using namespace velk::host_rig::timing;
}  // namespace rocker_reliability
