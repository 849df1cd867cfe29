#pragma once

#include <cstdint>

namespace velk::zorv_control {

// The four Modbus address spaces. Stored and passed as a 32-bit int; callers
// that hold plain ints convert with static_cast<AddressType>(value). A value
// outside 0..3 is legal to store: such a signal is attached to its device but
// never grouped, read, probed or written.
enum class AddressType : int32_t {
  DiscreteInput = 0,    // function 02, read only, 1 bit
  Coil = 1,             // function 01, written with 05, 1 bit
  InputRegister = 2,    // function 04, read only, 16 bits
  HoldingRegister = 3,  // function 03, written with 06, 16 bits
};

}  // namespace velk::zorv_control
