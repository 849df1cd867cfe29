#include "bench/noisy_line_bench.h"

#include <iomanip>
#include <sstream>
#include <thread>

#include "bench/joystick_driver.h"
#include "bench/request_tally.h"
#include "host_rig/rig_timing.h"

namespace velk::bench {

using host_rig::timing::waitFor;
namespace {

using namespace std::chrono_literals;

constexpr auto kStartWait = 3s;
constexpr auto kHold = 1500ms;
constexpr auto kStopWait = 3s;
// Past the bundle's pause after a stop, with the stick seen centred.
constexpr auto kBetweenJogs = 500ms;

const char* const kConnected = "Connected to Modbus Slave";
const char* const kDisconnected = "Assume modbus unit disconnected";
const char* const kReadError = "Get rocker modbus data error!";

joystick_sim::Framing framingOf(Transport transport) {
  return transport == Transport::kTcp ? joystick_sim::Framing::kTcp : joystick_sim::Framing::kRtu;
}

std::string fixed(double value, int decimals, bool sign = false) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(decimals) << (sign ? std::showpos : std::noshowpos)
       << value;
  return text.str();
}

}  // namespace

NoisyLineBench::NoisyLineBench(BenchRig& rig, NoisyLineSettings settings)
    : rig_(rig), settings_(settings) {}

nlohmann::json NoisyLineBench::restWindow() {
  joystick_sim::ModbusSlave& slave = rig_.joystick().slave();
  slave.clearLog();
  const auto from = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(settings_.window_s));
  const auto requests = slave.requests();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
  return RequestTally(requests, rig_.transport()).toJson(seconds);
}

std::string NoisyLineBench::jog() {
  sim::SimulatedRobot& robot = rig_.robot();
  const auto commanded = [&robot](const char* name) { return !robot.callsNamed(name).empty(); };
  robot.clearCalls();
  rig_.joystick().setStickX(kPushDeflection);
  const bool started = waitFor([&] { return commanded("speedLine"); }, kStartWait);
  if (started) std::this_thread::sleep_for(kHold);
  const bool cut_short = commanded("stopLine");
  rig_.joystick().setStickX(0);
  const bool stopped =
      started && !cut_short && waitFor([&] { return commanded("stopLine"); }, kStopWait);
  std::this_thread::sleep_for(kBetweenJogs);
  if (!started) return "not started";
  if (cut_short) return "cut short";
  return stopped ? "released" : "not stopped";
}

void NoisyLineBench::run(nlohmann::json& figures) {
  joystick_sim::ReplyMangling* mangling = rig_.joystick().mangling();
  require(mangling != nullptr, "the noisy line needs a tapped joystick");
  rig_.bringUp();
  figures["damage"] = joystick_sim::damageName(settings_.damage);
  figures["period"] = settings_.period;
  figures["clean_rest"] = restWindow();

  host_rig::LogSink& log = rig_.log();
  const int connected = log.countContaining(kConnected);
  const int disconnected = log.countContaining(kDisconnected);
  const int read_errors = log.countContaining(kReadError);
  mangling->set(joystick_sim::damageReplies(settings_.damage, framingOf(rig_.transport())),
                settings_.period);
  nlohmann::json jogs = nlohmann::json::array();
  for (int i = 0; i < settings_.jogs; ++i) jogs.push_back(jog());
  figures["jogs"] = jogs;
  figures["noisy_rest"] = restWindow();
  mangling->clear();

  figures["damaged_replies"] = mangling->mangledChunks();
  figures["reopenings"] = log.countContaining(kConnected) - connected;
  figures["disconnect_warnings"] = log.countContaining(kDisconnected) - disconnected;
  figures["read_errors"] = log.countContaining(kReadError) - read_errors;
}

std::string NoisyLineBench::tableHead() {
  return "| damage | damaged replies | reopenings | \"Assume ... disconnected\" | read errors | "
         "requests/s clean → noisy | jogs |\n"
         "|---|---|---|---|---|---|---|\n";
}

std::string NoisyLineBench::tableRow(const nlohmann::json& figures) {
  const double clean = figures["clean_rest"]["requests_per_s"].get<double>();
  const double noisy = figures["noisy_rest"]["requests_per_s"].get<double>();
  std::ostringstream jogs;
  for (const auto& outcome : figures["jogs"]) {
    jogs << (jogs.tellp() > 0 ? ", " : "") << outcome.get<std::string>();
  }
  std::ostringstream row;
  row << "| " << figures["damage"].get<std::string>() << " | " << figures["damaged_replies"]
      << " | " << figures["reopenings"] << " | " << figures["disconnect_warnings"] << " | "
      << figures["read_errors"] << " | " << fixed(clean, 1) << " → " << fixed(noisy, 1) << " ("
      << fixed(clean > 0 ? 100.0 * (noisy - clean) / clean : 0.0, 0, true) << " %) | " << jogs.str()
      << " |\n";
  return row.str();
}

}  // namespace velk::bench
