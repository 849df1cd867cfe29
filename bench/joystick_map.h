#pragma once

#include <array>

namespace velk::bench {

// The joystick's Modbus map (unit 2) as far as the benchmarks use it: where
// they move the stick and press the buttons, and the 16 signals the bundle
// registers, by address type, for the one-request-per-signal poller and for
// the batched minimum.
inline constexpr int kJoystickUnit = 2;
inline constexpr int kStickXRegister = 256;
inline constexpr int kFirmwareRegister = 263;
inline constexpr int kHardwareRegister = 264;
inline constexpr int kPowerButtonCoil = 0;
inline constexpr int kSpeedButtonCoil = 1;
inline constexpr int kPowerLightCoil = 16;
inline constexpr int kSpeedLightCoil = 17;
inline constexpr int kIndicatorRegister = 512;

inline constexpr std::array<int, 6> kCoilAddresses{0, 1, 2, 3, 16, 17};
inline constexpr std::array<int, 9> kInputRegisterAddresses{256, 257, 258, 259, 260,
                                                            261, 262, 263, 264};
inline constexpr std::array<int, 1> kHoldingRegisterAddresses{512};

// A clear push of the stick: far above the start threshold of 200.
inline constexpr int kPushDeflection = 500;

}  // namespace velk::bench
