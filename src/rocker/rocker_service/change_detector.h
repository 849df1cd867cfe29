#pragma once

namespace velk::zorv_comm {

// Edge detection for a bool that is sampled once per cycle (a button, a
// state). The fields stay public because callers may set `value` directly
// and then let update() report whether it differs from the last sample.
//
// A fresh detector has seen `false` already (initialized, last false), so
// the first true sample is a rising edge.
struct ChangeDetector {
  bool last = false;
  bool initialized = true;
  bool value = false;
  bool changed = false;

  void update(bool sample);
  bool risingEdge() const { return changed && value; }
  bool fallingEdge() const { return changed && !value; }
};

}  // namespace velk::zorv_comm
