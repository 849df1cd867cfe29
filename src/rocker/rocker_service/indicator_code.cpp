#include "rocker/rocker_service/indicator_code.h"

namespace velk::zorv_comm {

const char* IndicatorCode::meaning(int code) {
  switch (code) {
    case kReadError:
      return "read error / blink dark";
    case kJogReady:
      return "ready to jog";
    case kStopped:
      return "stopped or paused";
    case kSafetyStop:
      return "safety stop";
    case kFreedrive:
      return "freedrive";
    default:
      return "?";
  }
}

}  // namespace velk::zorv_comm
