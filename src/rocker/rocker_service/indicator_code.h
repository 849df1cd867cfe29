#pragma once

#include <cstdint>

namespace velk::zorv_comm {

// The codes the joystick's indicator light shows, written to
// "set_indicator_light", and what each means to the operator.
struct IndicatorCode {
  static constexpr uint16_t kReadError = 0;  // also the dark half of the paused blink
  static constexpr uint16_t kJogReady = 1;
  static constexpr uint16_t kStopped = 2;  // also the lit half of the paused blink
  static constexpr uint16_t kSafetyStop = 3;
  static constexpr uint16_t kFreedrive = 4;

  // "ready to jog", ...; "?" for a code the joystick is never sent.
  static const char* meaning(int code);
};

}  // namespace velk::zorv_comm
