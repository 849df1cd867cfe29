#include "rocker-sim/run/interactive_session.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>

#include "robot_sim/robot_codes.h"
#include "robot_sim/simulated_robot.h"
#include "rocker-sim/run/console.h"
#include "rocker-sim/run/robot_controller.h"
#include "rocker-sim/run/run_record.h"
#include "rocker-sim/run/run_sampler.h"
#include "rocker-sim/run/scenario_joystick_driver.h"
#include "rocker-sim/run/sim_clock.h"
#include "rocker-sim/run/stop_signals.h"
#include "rocker-sim/run/terminal_mode.h"
#include "rocker-sim/scenario/scenario_text.h"
#include "rocker/rocker_service/indicator_code.h"

namespace velk::rocker_sim {

namespace {

constexpr int kTickMs = 20;
constexpr int kPoweredOff = 7;     // any mode type but the running one
constexpr int kSafetyStopped = 3;  // any safety mode type but the normal one

// Stick keys: lower case pushes half way, upper case all the way.
struct StickKey {
  char key;
  std::size_t axis;
  int sign;
};
constexpr StickKey kStickKeys[] = {{'w', 0, 1}, {'s', 0, -1}, {'d', 1, 1}, {'a', 1, -1},
                                   {'r', 2, 1}, {'f', 2, -1}, {'i', 3, 1}, {'k', 3, -1},
                                   {'l', 4, 1}, {'j', 4, -1}, {'u', 5, 1}, {'o', 5, -1}};

}  // namespace

InteractiveSession::InteractiveSession(RunStage& stage) : stage_(stage) {}

std::string InteractiveSession::keyHelp() {
  return "Interactive keys:\n"
         "  w/s  stick x + / -     d/a  stick y + / -     r/f  stick z + / -\n"
         "  i/k  stick rx + / -    l/j  stick ry + / -    u/o  stick rz + / -\n"
         "       (lower case pushes half way, upper case all the way; the stick stays put)\n"
         "  space  centre the stick    p  power button    v  speed button\n"
         "  c  drop the joystick's connection for 2 s\n"
         "  m  robot power on/off    z  pause/resume    g  freedrive    e  safety stop\n"
         "  h  this help    q  quit\n";
}

void InteractiveSession::run() {
  TerminalMode terminal;
  stage_.console.print(keyHelp());
  while (!StopSignals::requested()) {
    const auto key = terminal.readKey(kTickMs);
    const double now = stage_.clock.now();
    if (key && !handle(*key, now)) break;
    stage_.joystick.update(now);
    stage_.sampler.sample(now);
    stage_.console.showStatus(status(now));
  }
  stage_.console.clearStatus();
  stage_.record.end = stage_.clock.now();
}

bool InteractiveSession::handle(char key, double now) {
  if (key == 'q' || key == 'Q') return false;
  if (handleStick(key, now) || handleRobot(key, now)) return true;
  switch (key) {
    case 'p':
      stage_.joystick.press(Button::kPower, kPressHold, now);
      break;
    case 'v':
      stage_.joystick.press(Button::kSpeed, kPressHold, now);
      break;
    case 'c': {
      FaultStart drop;
      drop.duration = kDropTime;
      stage_.joystick.startFault(drop, now);
      break;
    }
    case 'h':
    case '?':
      stage_.console.print("\n" + keyHelp());
      break;
    default:
      break;
  }
  return true;
}

bool InteractiveSession::handleStick(char key, double now) {
  if (key == ' ' || key == '0') {
    stage_.joystick.setStick(StickAxes{}, 0.0, now);
    return true;
  }
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(key)));
  for (const StickKey& k : kStickKeys) {
    if (k.key != lower) continue;
    push(k.axis, k.sign * (lower == key ? kPush : kFullPush), now);
    return true;
  }
  return false;
}

void InteractiveSession::push(std::size_t axis, int value, double now) {
  StickAxes axes = stage_.joystick.stickTarget();
  axes[axis] = value;
  stage_.joystick.setStick(axes, 0.0, now);
}

bool InteractiveSession::handleRobot(char key, double now) {
  auto& robot = stage_.robot;
  RobotChange change;
  if (key == 'm') {
    change.mode_type =
        robot.robotModeType() == sim::kRobotModeRunning ? kPoweredOff : sim::kRobotModeRunning;
  } else if (key == 'z') {
    change.runtime_status =
        robot.runtimeStatus() == sim::kRuntimePaused ? sim::kRuntimeIdle : sim::kRuntimePaused;
  } else if (key == 'g') {
    change.freedrive = !robot.freedriveEnabled();
  } else if (key == 'e') {
    change.safety_mode_type =
        robot.safetyModeType() == sim::kSafetyModeNormal ? kSafetyStopped : sim::kSafetyModeNormal;
  } else {
    return false;
  }
  stage_.robot_controller.apply(change, now);
  return true;
}

std::string InteractiveSession::status(double now) const {
  const auto pose = stage_.robot.toolPose();
  const JoystickLights lights = stage_.sampler.lights();
  char text[320];
  std::snprintf(text, sizeof text,
                "%6.1fs tool %.1f,%.1f,%.1f mm | jogging %s, %s | indicator %d %s | lights P%d S%d "
                "| stick %s%s",
                now, pose.at(0) * 1000.0, pose.at(1) * 1000.0, pose.at(2) * 1000.0,
                lights.power ? "on" : "off", lights.speed ? "slow" : "fast", lights.indicator,
                zorv_comm::IndicatorCode::meaning(lights.indicator), lights.power ? 1 : 0,
                lights.speed ? 1 : 0, ScenarioText::stick(stage_.joystick.stickTarget()).c_str(),
                stage_.joystick.faultActive() ? " | DROPPED" : "");
  return fitted(text);
}

// A status line wider than the terminal would wrap, and the next redraw
// would leave the wrapped part behind.
std::string InteractiveSession::fitted(const std::string& line) {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col < 2) return line;
  const std::size_t width = size.ws_col - 1u;
  return line.size() <= width ? line : line.substr(0, width);
}

}  // namespace velk::rocker_sim
