#include "communication/modbus_dev/group_table.h"

#include <algorithm>
#include <iterator>

namespace velk::zorv_control {

namespace {

// Whether a group of a higher frequency than `frequency` already reads
// address a.
//
// Groups of other frequencies are examined this way, all of them, and no
// other way:
//  - a slower group never takes a signal: it would read it less often than
//    asked (a stick axis at 50 Hz would come at 10 Hz);
//  - no group grows for a signal of another frequency: a faster group would
//    read the signal, and the gap up to it, more often than needed, and a
//    slower one too rarely; the signal's own group takes it instead, so the
//    fast and the slow signals each come in one request at their own rate;
//  - a faster group whose run already holds the address serves the signal
//    at no cost (a group read hands its values to every signal in its run);
//    a place in the signal's own group would only read the address a second
//    time in the passes where both groups are due.
bool coveredByFasterGroup(const ReadGroupMap& groups, int frequency, int a) {
  for (auto it = groups.upper_bound(frequency); it != groups.end(); ++it) {
    if (it->second.start <= a && a <= it->second.end) return true;
  }
  return false;
}

}  // namespace

void GroupTable::add(ReadGroupMap& groups, int a, int frequency, AddressType type, int limit) {
  if (coveredByFasterGroup(groups, frequency, a)) return;
  auto found = groups.find(frequency);
  if (found == groups.end()) {
    const auto address = static_cast<uint16_t>(a);
    groups.emplace(frequency, ReadGroup{address, address, 1.0 / frequency, type});
    return;
  }
  ReadGroup& group = found->second;
  if (group.start > a && group.end - a + 1 < limit) {
    group.start = static_cast<uint16_t>(a);
  } else if (group.end < a && a - group.start + 1 < limit) {
    group.end = static_cast<uint16_t>(a);
  }
}

ReadGroupMap* GroupTable::mapFor(AddressType type, int* limit) {
  switch (type) {
    case AddressType::Coil:
      *limit = kBitGroupLimit;
      return &coils_;
    case AddressType::DiscreteInput:
      *limit = kBitGroupLimit;
      return &discrete_inputs_;
    case AddressType::InputRegister:
      *limit = kRegisterGroupLimit;
      return &input_registers_;
    case AddressType::HoldingRegister:
      *limit = kRegisterGroupLimit;
      return &holding_registers_;
  }
  return nullptr;
}

std::array<ReadGroupMap*, 4> GroupTable::maps() {
  return {&coils_, &discrete_inputs_, &holding_registers_, &input_registers_};
}

std::array<const ReadGroupMap*, 4> GroupTable::maps() const {
  return {&coils_, &discrete_inputs_, &holding_registers_, &input_registers_};
}

void GroupTable::clear() {
  for (ReadGroupMap* map : maps()) map->clear();
}

int GroupTable::nextFrequency(int below) const {
  int next = 0;
  for (const ReadGroupMap* map : maps()) {
    auto it = map->lower_bound(below);
    if (it != map->begin()) next = std::max(next, std::prev(it)->first);
  }
  return next;
}

int GroupTable::fastestFrequency() const {
  int fastest = 0;
  for (const ReadGroupMap* map : maps()) {
    if (!map->empty()) fastest = std::max(fastest, map->rbegin()->first);
  }
  return fastest;
}

double GroupTable::countdownOf(int frequency, double longest) const {
  double countdown = longest;
  for (const ReadGroupMap* map : maps()) {
    auto it = map->find(frequency);
    if (it != map->end()) countdown = std::min(countdown, it->second.countdown);
  }
  return countdown;
}

GroupTable::GroupsOfFrequency GroupTable::ofFrequency(int frequency) {
  GroupsOfFrequency due;
  int space = 0;
  for (ReadGroupMap* map : maps()) {
    auto it = map->find(frequency);
    if (it != map->end()) due.groups[due.count++] = {&it->second, space};
    ++space;
  }
  std::stable_sort(
      due.groups.begin(), due.groups.begin() + due.count,
      [](const auto& a, const auto& b) { return a.first->countdown < b.first->countdown; });
  return due;
}

double GroupTable::earliestDue(double longest) const {
  double due = longest;
  for (const ReadGroupMap* map : maps()) {
    for (const auto& entry : *map) due = std::min(due, entry.second.countdown);
  }
  return due;
}

}  // namespace velk::zorv_control
