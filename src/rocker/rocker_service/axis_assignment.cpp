#include "rocker/rocker_service/axis_assignment.h"

#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

const char* AxisAssignment::axisName() const {
  if (magnitudeIs(1)) return RockerSignalTable::kX;
  if (magnitudeIs(2)) return RockerSignalTable::kY;
  return RockerSignalTable::kZ;
}

const char* AxisAssignment::rotationAxisName() const {
  if (magnitudeIs(1)) return RockerSignalTable::kRx;
  if (magnitudeIs(2)) return RockerSignalTable::kRy;
  return RockerSignalTable::kRz;
}

std::string AxisAssignment::label() const {
  std::string text = value_ > 0 ? "" : "-";
  if (magnitudeIs(1)) return text + "X";
  if (magnitudeIs(2)) return text + "Y";
  return text + "Z";
}

}  // namespace velk::zorv_comm
