#pragma once

#include <cstdint>

namespace velk::zorv_control {

// The result codes of every device operation that talks to a slave, and the
// error state a signal holds. The registry and its callers pass them as
// plain ints; these are those ints, named.
enum ModbusResult : int32_t {
  kModbusOk = 0,
  kModbusIllegalFunction = 1,  // exception 01
  // Exception 02; also the state of a signal not read yet, or of one whose
  // address no request can carry.
  kModbusIllegalAddress = 2,
  // Exception 03, or a reply that is not a sound answer (damaged, foreign);
  // also every signal of a device found disconnected by a read pass.
  kModbusBadValueOrReply = 3,
  kModbusSlaveFailure = 4,   // exception 04
  kModbusAcknowledge = 5,    // exception 05
  kModbusBusyOrTimeout = 6,  // exception 06, or no reply within the time-out
  // No libmodbus context, a refused argument, a failed connection attempt,
  // or a pass over a device that is not connected.
  kModbusNoContext = -1,
  // Not connected, or the connection was just declared lost; also every
  // signal of a device found disconnected by a write pass.
  kModbusNotConnected = -2,
  kModbusTooManyData = -4,
};

// What a result code means, for people: the counterpart of libmodbus's
// modbus_strerror for these codes. Never null; "unknown result code" for a
// value outside the list.
const char* modbusResultText(int result);

}  // namespace velk::zorv_control
