#pragma once

#include "host_rig/scratch_folder.h"

namespace rocker_sim_test {

// A fresh folder for one test's scenario, options and report files.
using SimWorkspace = velk::host_rig::ScratchFolder;

}  // namespace rocker_sim_test
