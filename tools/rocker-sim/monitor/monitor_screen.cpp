#include "rocker-sim/monitor/monitor_screen.h"

#include <algorithm>
#include <cstdio>
#include <map>

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

std::string statusLine(const MonitorReading& reading) {
  if (reading.answered) return "answering";
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "no answer from the device yet (%.1f s)", reading.t);
  return buffer;
}

std::string axisRow(const MonitorReading& reading, std::size_t i) {
  const char* name = Table::axes()[i];
  const int value = reading.signedValue(name);
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "  %-3s %6d %s  %s\n", kAxisLabels[i], value,
                MonitorScreen::bar(value).c_str(),
                MonitorScreen::errorMeaning(reading.error(name)).c_str());
  return buffer;
}

}  // namespace

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
  static const std::map<int, std::string> kMeanings = {
      {0, "ok"},
      {1, "illegal function"},
      {2, "illegal data address, or not read yet"},
      {3, "illegal data value, bad reply, or disconnected"},
      {4, "slave failure"},
      {5, "acknowledge"},
      {6, "busy, or no reply in time"},
      {-1, "no connection made"},
      {-2, "not connected, or connection lost"},
      {-4, "too many data"},
  };
  const auto found = kMeanings.find(error);
  return "error " + std::to_string(error) + " (" +
         (found == kMeanings.end() ? "unknown" : found->second) + ")";
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
  out += "device: " + statusLine(reading) + "\n\n";
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
           std::to_string(signal.value) + "  " + errorMeaning(signal.error) + "\n";
  }
  char rate[64];
  std::snprintf(rate, sizeof rate, "%.1f", reading.reads_per_second);
  out += "\ntraffic  " + std::string(rate) + " group reads/s\n";
  out += "last error  " + (reading.last_error.empty() ? "none" : reading.last_error) + "\n";
  return out;
}

std::vector<std::string> MonitorScreen::changes(const MonitorReading& before,
                                                const MonitorReading& now) {
  std::vector<std::string> lines;
  if (now.answered != before.answered) {
    lines.push_back(stamp(now.t, now.answered ? "device answering" : "device not answering"));
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
    if (!known || old->second.error != signal.error) {
      lines.push_back(stamp(now.t, name + " " + errorMeaning(signal.error)));
    }
  }
  if (now.last_error != before.last_error && !now.last_error.empty()) {
    lines.push_back(stamp(now.t, "last error: " + now.last_error));
  }
  return lines;
}

}  // namespace velk::rocker_sim
