#include "rocker-sim/report/text_report.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "rocker-sim/report/stop_cause_finder.h"
#include "rocker-sim/scenario/scenario_text.h"
#include "rocker/rocker_service/indicator_code.h"

namespace velk::rocker_sim {

namespace {

constexpr double kMm = 1000.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = 180.0 / kPi;

std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string formatted(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::string triple(const std::vector<double>& v, double scale) {
  if (v.size() < 3) return formatted("%8s %8s %8s", "-", "-", "-");
  return formatted("%8.1f %8.1f %8.1f", v[0] * scale, v[1] * scale, v[2] * scale);
}

// The change of each orientation angle from `from` to `to`, wrapped into
// -pi..pi so that a turn across the angle's seam reads as the small turn it
// is.
std::vector<double> angleChange(const std::vector<double>& from, const std::vector<double>& to) {
  if (from.size() < 6 || to.size() < 6) return {};
  std::vector<double> change(3);
  for (std::size_t i = 0; i < 3; ++i) {
    change[i] = std::remainder(to[i + 3] - from[i + 3], 2 * kPi);
  }
  return change;
}

std::vector<double> difference(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() < 3 || b.size() < 3) return {};
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

std::string stopText(const Jog& jog) {
  std::string text = StopCauseFinder::describe(jog.cause);
  if (!jog.fault.empty()) text += " [fault: " + jog.fault + "]";
  if (!jog.accepted) text += " [command refused by the robot]";
  return text;
}

}  // namespace

std::string TextReport::render(const RunInfo& info, const RunRecord& record,
                               const std::vector<Jog>& jogs) {
  std::string out = "\n";
  out += "Run: " + (info.scenario.empty() ? std::string("interactive") : info.scenario) +
         ", joystick " + info.joystick_description + ", " + formatted("%.1f s", record.end) +
         "\n\n";
  out +=
      jogTable(jogs) + "\n" + turnTable(jogs) + lightTable(record) + "\n" + pathTable(record, jogs);
  if (info.package_content) {
    out += "\nPackage file " + info.package_file + ":\n" + *info.package_content + "\n";
  }
  return out;
}

std::string TextReport::jogTable(const std::vector<Jog>& jogs) {
  std::string out = "Jogs\n";
  out += formatted("%3s %8s  %-24s %26s %8s %26s  %s\n", "#", "start", "stick x,y,z,rx,ry,rz",
                   "speed x,y,z (mm/s)", "stop", "moved x,y,z (mm)", "stopped by");
  for (const Jog& jog : jogs) out += jogRow(jog);
  if (jogs.empty()) out += "  (none)\n";
  return out;
}

// Only for runs whose jogs turned the tool (six-axis jogging).
std::string TextReport::turnTable(const std::vector<Jog>& jogs) {
  const bool turned = std::any_of(jogs.begin(), jogs.end(), [](const Jog& jog) {
    return jog.speed.size() >= 6 && (jog.speed[3] != 0 || jog.speed[4] != 0 || jog.speed[5] != 0);
  });
  if (!turned) return "";
  std::string out = "Turns\n";
  out += formatted("%3s %26s %26s\n", "#", "turn rx,ry,rz (deg/s)", "turned rx,ry,rz (deg)");
  for (const Jog& jog : jogs) {
    const std::vector<double> rate(jog.speed.begin() + std::min<std::size_t>(3, jog.speed.size()),
                                   jog.speed.end());
    out += formatted("%3d %s %s\n", jog.number, triple(rate, kDegrees).c_str(),
                     triple(angleChange(jog.start_pose, jog.end_pose), kDegrees).c_str());
  }
  return out + "\n";
}

// A following jog's speed changes come on rows of their own below it.
std::string TextReport::jogRow(const Jog& jog) {
  const std::string stick = jog.stick ? ScenarioText::stickList(*jog.stick) : "?";
  const std::string stop = jog.stop ? formatted("%8.3f", *jog.stop) : formatted("%8s", "-");
  std::string row = formatted("%3d %8.3f  %-24s %s %s %s  %s\n", jog.number, jog.start,
                              stick.c_str(), triple(jog.speed, kMm).c_str(), stop.c_str(),
                              triple(difference(jog.end_pose, jog.start_pose), kMm).c_str(),
                              stopText(jog).c_str());
  for (const SpeedChange& change : jog.changes) {
    const std::string at = change.stick ? ScenarioText::stickList(*change.stick) : "?";
    row += formatted("%3s %8.3f  %-24s %s %8s %26s  %s\n", "", change.t, at.c_str(),
                     triple(change.speed, kMm).c_str(), "", "",
                     change.accepted ? "speed changed" : "speed change refused by the robot");
  }
  return row;
}

std::string TextReport::lightTable(const RunRecord& record) {
  std::string out = "Lights and indicator\n";
  out += formatted("%8s  %-5s %-5s %s\n", "time", "power", "speed", "indicator");
  for (const LightSample& sample : record.lights) {
    out += formatted("%8.3f  %-5s %-5s %d  %s\n", sample.t, sample.lights.power ? "on" : "off",
                     sample.lights.speed ? "slow" : "fast", sample.lights.indicator,
                     zorv_comm::IndicatorCode::meaning(sample.lights.indicator));
  }
  if (!record.simulated_joystick) out += "  (an outside joystick: its lights are not seen)\n";
  return out;
}

std::string TextReport::pathTable(const RunRecord& record, const std::vector<Jog>& jogs) {
  std::string out = "Tool path (mm)\n";
  out += formatted("%8s %8s %8s %8s\n", "time", "x", "y", "z");
  if (!record.path.empty()) {
    out += formatted("%8.3f %s  start\n", record.path.front().t,
                     triple(record.path.front().pose, kMm).c_str());
  }
  for (const Jog& jog : jogs) {
    out += formatted("%8.3f %s  jog %d starts\n", jog.start, triple(jog.start_pose, kMm).c_str(),
                     jog.number);
    out += formatted("%8.3f %s  jog %d stops, at rest\n", jog.stop.value_or(record.end),
                     triple(jog.end_pose, kMm).c_str(), jog.number);
  }
  if (!record.path.empty()) {
    out += formatted("%8.3f %s  end\n", record.path.back().t,
                     triple(record.path.back().pose, kMm).c_str());
  }
  out += formatted("travelled %.1f mm in %zu jog(s)\n", travelled(record) * kMm, jogs.size());
  return out;
}

double TextReport::travelled(const RunRecord& record) {
  double total = 0.0;
  for (std::size_t i = 1; i < record.path.size(); ++i) {
    const auto& a = record.path[i - 1].pose;
    const auto& b = record.path[i].pose;
    if (a.size() >= 3 && b.size() >= 3) total += std::hypot(b[0] - a[0], b[1] - a[1], b[2] - a[2]);
  }
  return total;
}

}  // namespace velk::rocker_sim
