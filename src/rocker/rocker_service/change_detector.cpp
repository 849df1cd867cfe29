#include "rocker/rocker_service/change_detector.h"

namespace velk::zorv_comm {

void ChangeDetector::update(bool sample) {
  value = sample;
  if (!initialized) {
    initialized = true;
    last = sample;
    changed = false;
  } else if (last == sample) {
    changed = false;
  } else {
    changed = true;
    last = sample;
  }
}

}  // namespace velk::zorv_comm
