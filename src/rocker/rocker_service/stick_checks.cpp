#include "rocker/rocker_service/stick_checks.h"

#include <algorithm>
#include <cstdlib>

#include "common/log.h"
#include "common/log_level.h"
#include "rocker/rocker_service/rocker_signal_table.h"

namespace velk::zorv_comm {

int16_t StickChecks::valueOf(const ValueMap& values, const char* name) {
  const auto found = values.find(name);
  return found == values.end() ? 0 : found->second;
}

int StickChecks::magnitudeOf(const ValueMap& values, const char* name) {
  return std::abs(static_cast<int>(valueOf(values, name)));
}

bool StickChecks::centred(const ValueMap& values, std::size_t n, int limit) {
  const auto& axes = RockerSignalTable::axes();
  std::size_t inside = 0;
  for (std::size_t i = 0; i < n && i < axes.size(); ++i) {
    if (magnitudeOf(values, axes[i]) < limit && ++inside >= n) return true;
  }
  return false;
}

bool StickChecks::steady(const ValueMap& a, const ValueMap& b, std::size_t n, int limit,
                         const LogCallback& log) {
  if (n != a.size() || n != b.size()) {
    VELK_LOG(log, kLogDebug) << "equal false:" << a.size() << "," << b.size() << "," << n;
    return false;
  }
  return steady(axesOf(a), axesOf(b), limit);
}

bool StickChecks::steady(const Axes& a, const Axes& b, int limit) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i])) > limit) return false;
  }
  return true;
}

StickChecks::Axes StickChecks::axesOf(const ValueMap& values) {
  Axes axes{};
  const auto& names = RockerSignalTable::axes();
  for (std::size_t i = 0; i < axes.size(); ++i) axes[i] = valueOf(values, names[i]);
  return axes;
}

}  // namespace velk::zorv_comm
