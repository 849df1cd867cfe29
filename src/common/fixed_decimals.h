#pragma once

#include <array>
#include <cstdio>
#include <string>

namespace velk {

// `value` with exactly `decimals` digits after the point, for the figures a
// log line quotes (a rate, a time in ms): a stream would print them with
// six significant digits.
inline std::string fixedDecimals(double value, int decimals) {
  std::array<char, 48> text{};
  std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
  return text.data();
}

}  // namespace velk
