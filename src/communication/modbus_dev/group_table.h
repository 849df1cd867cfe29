#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

#include "communication/modbus_dev/address_type.h"

namespace velk::zorv_control {

// A run of contiguous addresses of one address space, read with a single
// request when its countdown runs out.
struct ReadGroup {
  uint16_t start = 0;
  uint16_t end = 0;        // inclusive
  double countdown = 0.0;  // seconds until the next read
  AddressType type = AddressType::DiscreteInput;
};
// Keyed by update frequency in hertz: at most one group per frequency.
using ReadGroupMap = std::map<int, ReadGroup>;

// The read groups of a slave's four address spaces: which group a signal's
// address joins, and the frequencies and countdowns the poll pass reads
// them by. The device keeps it under its group lock.
class GroupTable {
 public:
  // A group never reaches this many addresses.
  static constexpr int kBitGroupLimit = 256;
  static constexpr int kRegisterGroupLimit = 100;

  // Puts `address` into the group of `frequency`, growing its run up to
  // below `limit`, unless the run of a faster group already covers it.
  static void add(ReadGroupMap& groups, int address, int frequency, AddressType type, int limit);

  // The map of one address space and its group limit; nullptr for no
  // known space.
  ReadGroupMap* mapFor(AddressType type, int* limit);
  // In the order coils, discrete inputs, holding registers, input registers.
  std::array<ReadGroupMap*, 4> maps();
  std::array<const ReadGroupMap*, 4> maps() const;
  void clear();
  // The highest group frequency below `below`; 0 when there is none.
  int nextFrequency(int below) const;
  // The highest frequency of any group; 0 without groups.
  int fastestFrequency() const;
  // The least countdown of the groups of one frequency, at most `longest`.
  double countdownOf(int frequency, double longest) const;
  // The groups of one frequency, each with the index of its address space
  // in maps(), the longest overdue first.
  struct GroupsOfFrequency {
    std::array<std::pair<ReadGroup*, int>, 4> groups{};
    std::size_t count = 0;
  };
  GroupsOfFrequency ofFrequency(int frequency);
  // The least countdown of all groups, at most `longest`.
  double earliestDue(double longest) const;

 private:
  ReadGroupMap coils_;
  ReadGroupMap discrete_inputs_;
  ReadGroupMap holding_registers_;
  ReadGroupMap input_registers_;
};

}  // namespace velk::zorv_control
