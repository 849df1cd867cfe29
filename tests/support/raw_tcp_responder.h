#pragma once

// To be removed once tests/modbus_dev includes joystick_sim/raw_tcp_responder.h.
#include "joystick_sim/raw_tcp_responder.h"

namespace velk::test {
using RawTcpResponder = joystick_sim::RawTcpResponder;
}  // namespace velk::test
