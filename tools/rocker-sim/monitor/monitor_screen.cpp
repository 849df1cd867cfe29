#include "rocker-sim/monitor/monitor_screen.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "communication/modbus_dev/modbus_result.h"
#include "rocker-sim/monitor/line_advice.h"
#include "rocker/rocker_service/indicator_code.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "rocker/rocker_service/version_word.h"

namespace velk::rocker_sim {

namespace {

using Table = zorv_comm::RockerSignalTable;

constexpr int kBarHalf = 10;
constexpr int kFullDeflection = 1000;
constexpr const char* kAxisLabels[] = {"x", "y", "z", "rx", "ry", "rz"};

std::string stamp(double t, const std::string& text) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%8.2f  ", t);
  return buffer + text;
}

std::string onOff(int value) { return value != 0 ? "on" : "off"; }

// The signals whose values are stale, or "" when none is.
std::string staleList(const MonitorReading& reading) {
  std::string names;
  std::size_t count = 0;
  for (const auto& entry : reading.signals) {
    if (!reading.stale(entry.first)) continue;
    names += (names.empty() ? "" : " ") + entry.first;
    ++count;
  }
  if (count > 1 && count == reading.signals.size()) return "all signals";
  return names;
}

std::string seconds(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f s", value);
  return buffer;
}

std::string axisRow(const MonitorReading& reading, std::size_t i) {
  const char* name = Table::axes()[i];
  const int value = reading.signedValue(name);
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "  %-3s %6d %s  %s\n", kAxisLabels[i], value,
                MonitorScreen::bar(value).c_str(),
                MonitorScreen::signalState(reading, name).c_str());
  return buffer;
}

}  // namespace

LineAdvice MonitorScreen::adviceFor(const MonitorReading& reading) {
  return LineAdvice::of(reading.transaction_seconds, reading.reads_per_second,
                        reading.fastest_rate);
}

std::string MonitorScreen::bar(int value) {
  const int clamped = std::clamp(value, -kFullDeflection, kFullDeflection);
  const int cells = (std::abs(clamped) * kBarHalf + kFullDeflection / 2) / kFullDeflection;
  std::string left(kBarHalf, '.');
  std::string right(kBarHalf, '.');
  if (clamped < 0) std::fill(left.end() - cells, left.end(), '#');
  if (clamped > 0) std::fill(right.begin(), right.begin() + cells, '#');
  return "[" + left + "|" + right + "]";
}

std::string MonitorScreen::errorMeaning(int error) {
  if (error == zorv_control::kModbusOk) return "ok";
  return "error " + std::to_string(error) + " (" + zorv_control::modbusResultText(error) + ")";
}

std::string MonitorScreen::deviceLine(const MonitorReading& r) {
  if (!r.connected) {
    if (!r.connection_problem.empty()) return "not connected: " + r.connection_problem;
    return r.answered ? "not connected: connection lost, trying again"
                      : "not connected yet (the first attempt comes about 1 s after the start)";
  }
  if (!r.answered) return "connected, no answer yet";
  if (r.t - r.last_answer_t <= r.input_timeout) return "answering";
  return "not answering since " + seconds(r.last_answer_t);
}

std::string MonitorScreen::errorState(const MonitorReading& reading, const std::string& name) {
  const auto found = reading.signals.find(name);
  if (found == reading.signals.end()) return "not polled";
  if (found->second.error != 0 && !reading.inError(found->second)) return "not read yet";
  return errorMeaning(found->second.error);
}

std::string MonitorScreen::signalState(const MonitorReading& reading, const std::string& name) {
  std::string state = errorState(reading, name);
  if (reading.stale(name)) {
    const auto age = reading.taken_at - reading.signals.at(name).read_at;
    state += ", STALE (" + seconds(std::chrono::duration<double>(age).count()) + " old)";
  }
  return state;
}

std::string MonitorScreen::versionText(int word, bool with_patch) {
  const zorv_comm::VersionWord version(static_cast<uint16_t>(word));
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(word) & 0xFFFFu);
  return (with_patch ? version.fullText() : version.shortText()) + " (" + hex + ")";
}

std::string MonitorScreen::keyHelp() {
  return "keys: 1 power light, 2 speed light, i indicator code, q quit";
}

std::string MonitorScreen::page(const std::string& device_info, const MonitorReading& reading,
                                const Outputs& outputs) {
  std::string out = "rocker-sim monitor: " + device_info + "  (" + keyHelp() + ")\n";
  out += "device: " + deviceLine(reading) + "\n\n";
  out += "stick\n";
  for (std::size_t i = 0; i < Table::axes().size(); ++i) out += axisRow(reading, i);
  out += "\nbuttons  power " + std::string(reading.value(Table::kPowerButton) ? "PRESSED" : "up") +
         "   speed " + (reading.value(Table::kSpeedButton) ? "PRESSED" : "up") + "\n";
  const int indicator = reading.value("get_indicator_light");
  out += "lights   power " + onOff(reading.value("get_button_light_1")) + "   speed " +
         onOff(reading.value("get_button_light_2")) + "   indicator " + std::to_string(indicator) +
         " (" + zorv_comm::IndicatorCode::meaning(indicator) + ")   [read back]\n";
  out += "set      power " + onOff(outputs.power_light) + "   speed " + onOff(outputs.speed_light) +
         "   indicator " + std::to_string(outputs.indicator) + "\n";
  out += "versions firmware " + versionText(reading.value(Table::kFirmwareVersion), true) +
         "   hardware " + versionText(reading.value(Table::kHardwareVersion), false) + "\n\n";
  out += "signals\n";
  for (const auto& [name, signal] : reading.signals) {
    out += "  " + name + std::string(22 - std::min<std::size_t>(name.size(), 21), ' ') +
           std::to_string(signal.value) + "  " + signalState(reading, name) + "\n";
  }
  char rate[64];
  std::snprintf(rate, sizeof rate, "%.1f", reading.reads_per_second);
  out += "\ntraffic  " + std::string(rate) + " group reads/s\n";
  const LineAdvice advice = adviceFor(reading);
  out += "line     " + advice.lineText() + "\n";
  out += "advice   " + advice.adviceText() + "\n";
  out += "last error  " + (reading.last_error.empty() ? "none" : reading.last_error) + "\n";
  out += "warnings" + std::string(reading.warnings.empty() ? "  none\n" : "\n");
  for (const auto& warning : reading.warnings) out += "  " + warning + "\n";
  out +=
      "stale means older than the bundle's input_timeout, " + seconds(reading.input_timeout) + "\n";
  return out;
}

std::vector<std::string> MonitorScreen::changes(const MonitorReading& before,
                                                const MonitorReading& now) {
  std::vector<std::string> lines;
  const std::string device = deviceLine(now);
  const bool first = before.signals.empty();
  if (first || device != deviceLine(before)) lines.push_back(stamp(now.t, "device " + device));
  const std::string stale = staleList(now);
  if (stale != staleList(before)) {
    lines.push_back(stamp(
        now.t, stale.empty() ? "no stale values"
                             : "stale (older than " + seconds(now.input_timeout) + "): " + stale));
  }
  for (const auto& [name, signal] : now.signals) {
    const auto old = before.signals.find(name);
    const bool known = old != before.signals.end();
    const bool is_axis =
        std::find(Table::axes().begin(), Table::axes().end(), name) != Table::axes().end();
    const int value = is_axis ? now.signedValue(name) : signal.value;
    if (!known || old->second.value != signal.value) {
      std::string line = name + " " + std::to_string(value);
      if (name == Table::kFirmwareVersion) line += " firmware " + versionText(value, true);
      if (name == Table::kHardwareVersion) line += " hardware " + versionText(value, false);
      if (name == "get_indicator_light") {
        line += " (" + std::string(zorv_comm::IndicatorCode::meaning(value)) + ")";
      }
      lines.push_back(stamp(now.t, line));
    }
    const std::string state = errorState(now, name);
    if (!known || state != errorState(before, name))
      lines.push_back(stamp(now.t, name + " " + state));
  }
  const LineAdvice advice = adviceFor(now);
  const LineAdvice old_advice = adviceFor(before);
  if (advice.measured && (!old_advice.measured || advice.stick_rate != old_advice.stick_rate ||
                          advice.input_timeout != old_advice.input_timeout)) {
    lines.push_back(stamp(now.t, "line " + advice.lineText() + "; advice " + advice.adviceText()));
  }
  if (now.last_error != before.last_error && !now.last_error.empty()) {
    lines.push_back(stamp(now.t, "last error: " + now.last_error));
  }
  return lines;
}

}  // namespace velk::rocker_sim
