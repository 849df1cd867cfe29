#pragma once

#include <string>

namespace velk::zorv_comm {

// How one jog component is taken from the stick: the value set for it
// (tool_x, tool_y, tool_z) picks the stick axis by magnitude (1 x, 2 y,
// anything else z) and the sign by its own sign (0 counts as negative).
class AxisAssignment {
 public:
  explicit AxisAssignment(int value) : value_(value) {}

  // The stick signal the component is read from.
  const char* axisName() const;
  // The rotation axis that goes with it in six-axis jogging (get_x with
  // get_rx, and so on).
  const char* rotationAxisName() const;
  // 1 or -1.
  int sign() const { return value_ > 0 ? 1 : -1; }
  // "X", "-Y", ... as the setting is reported to the operator.
  std::string label() const;

 private:
  // Compared against both signs rather than through abs(), which is
  // undefined for INT_MIN.
  bool magnitudeIs(int magnitude) const { return value_ == magnitude || value_ == -magnitude; }

  int value_;
};

}  // namespace velk::zorv_comm
