#pragma once

#include <vector>

#include "common/log_callback.h"
#include "communication/modbus_dev/address_type.h"
#include "communication/modbus_dev/modbus_link.h"

namespace velk::zorv_control {

// The address ranges that the slave refused to serve in one request
// (illegal data address), and the runs they are read in instead: the runs
// of consecutive addresses that have signals, and a run that was refused
// itself address by address. One Warning per range names the runs. Kept for
// as long as the connection lasts.
//
// Threads: the device keeps it under its group lock.
class RefusedRanges {
 public:
  struct Range {
    AddressType type = AddressType::Coil;
    int start = 0;
    int end = 0;  // inclusive
    bool announced = false;
  };
  struct Piece {
    int start = 0;
    int end = 0;  // inclusive
  };

  RefusedRanges(const LogCallback& log, const ModbusLink& link) : log_(log), link_(link) {}

  // The refused range that overlaps start..end of `type`, or nullptr.
  Range* over(AddressType type, int start, int end);
  // Records a refusal of start..end; a range already known is kept once.
  void note(AddressType type, int start, int end);
  void clear() { ranges_.clear(); }
  // The runs to read instead, from the addresses of the healthy signals of
  // `type` in the range (in any order, repeats allowed).
  std::vector<Piece> piecesOf(AddressType type, std::vector<int> addresses) const;
  // Says once per range what is read instead of it.
  void announce(Range& refused, const std::vector<Piece>& pieces) const;

 private:
  bool refusedItself(AddressType type, const Piece& piece) const;

  const LogCallback& log_;
  const ModbusLink& link_;
  std::vector<Range> ranges_;
};

}  // namespace velk::zorv_control
