#include "communication/modbus_dev/refused_ranges.h"

#include <algorithm>
#include <string>

#include "common/log.h"
#include "common/log_level.h"
#include "communication/modbus_dev/slave_label.h"

namespace velk::zorv_control {

namespace {

const char* spaceName(AddressType type) {
  switch (type) {
    case AddressType::Coil:
      return "coils";
    case AddressType::DiscreteInput:
      return "discrete inputs";
    case AddressType::InputRegister:
      return "input registers";
    case AddressType::HoldingRegister:
      return "holding registers";
  }
  return "addresses";
}

}  // namespace

RefusedRanges::Range* RefusedRanges::over(AddressType type, int start, int end) {
  for (Range& refused : ranges_) {
    if (refused.type == type && refused.start <= end && start <= refused.end) return &refused;
  }
  return nullptr;
}

void RefusedRanges::note(AddressType type, int start, int end) {
  for (const Range& refused : ranges_) {
    if (refused.type == type && refused.start == start && refused.end == end) return;
  }
  ranges_.push_back(Range{type, start, end});
}

std::vector<RefusedRanges::Piece> RefusedRanges::piecesOf(AddressType type,
                                                          std::vector<int> addresses) const {
  // The runs of consecutive addresses that have healthy signals; a run that
  // the slave has refused itself is read address by address.
  std::sort(addresses.begin(), addresses.end());
  addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
  std::vector<Piece> pieces;
  for (int address : addresses) {
    if (!pieces.empty() && pieces.back().end + 1 == address) {
      pieces.back().end = address;
    } else {
      pieces.push_back(Piece{address, address});
    }
  }
  std::vector<Piece> split;
  for (const Piece& piece : pieces) {
    if (!refusedItself(type, piece)) {
      split.push_back(piece);
      continue;
    }
    for (int address = piece.start; address <= piece.end; ++address) {
      split.push_back(Piece{address, address});
    }
  }
  return split;
}

bool RefusedRanges::refusedItself(AddressType type, const Piece& piece) const {
  return std::any_of(ranges_.begin(), ranges_.end(), [&](const Range& r) {
    return r.type == type && r.start == piece.start && piece.end == r.end;
  });
}

void RefusedRanges::announce(Range& refused, const std::vector<Piece>& pieces) const {
  if (refused.announced || pieces.empty()) return;
  refused.announced = true;
  std::string runs;
  for (const Piece& piece : pieces) {
    if (!runs.empty()) runs += ", ";
    runs += std::to_string(piece.start);
    if (piece.end != piece.start) runs += " to " + std::to_string(piece.end);
  }
  VELK_LOG(log_, kLogWarning) << "Modbus slave " << slaveLabel(link_.settings()) << " refuses "
                              << spaceName(refused.type) << " " << refused.start << " to "
                              << refused.end
                              << " in one request (illegal data address), although its "
                                 "signals read alone; reading "
                              << runs << " instead while connected";
}

}  // namespace velk::zorv_control
