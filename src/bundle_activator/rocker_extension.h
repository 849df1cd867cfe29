#pragma once

#include <memory>

#include "host/common_interface/zorv_control_extension.h"

namespace velk::zorv_comm {

// Creates the extension that the bundle registers as its service: start()
// brings the rocker up on its own periodic thread, stop() halts that thread,
// and destroying the extension releases everything.
std::shared_ptr<common_interface::ZorvControlExtension> makeRockerExtension();

}  // namespace velk::zorv_comm
