#pragma once

#include <string>

namespace velk::zorv_comm {

// Where the rocker records the joystick's firmware version: HOME (or "/root"
// when HOME is not set) followed by "/velk_ws/extensions/rocker/package.json".
std::string packageFilePath();

}  // namespace velk::zorv_comm
