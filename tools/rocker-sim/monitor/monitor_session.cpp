#include "rocker-sim/monitor/monitor_session.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "rocker-sim/monitor/joystick_monitor.h"
#include "rocker-sim/monitor/monitor_screen.h"
#include "rocker-sim/run/stop_signals.h"
#include "rocker-sim/run/terminal_mode.h"

namespace velk::rocker_sim {

namespace {

constexpr int kTickMs = 100;
constexpr int kLogInfo = 3;
// A device that has not answered is said so after a connection attempt or
// two (the first comes about a second after start), then now and then.
constexpr double kFirstNotice = 2.5;
constexpr double kNoticeEvery = 5.0;
constexpr const char* kClearScreen = "\033[H\033[J";

// Keys from standard input when it is not a terminal: whatever arrives,
// one character at a time, without waiting.
std::optional<char> readPipedKey() {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  if (::poll(&input, 1, 0) <= 0 || (input.revents & POLLIN) == 0) return std::nullopt;
  char key = 0;
  if (::read(STDIN_FILENO, &key, 1) != 1) return std::nullopt;
  return key;
}

}  // namespace

MonitorSession::MonitorSession(std::string device_info, double duration)
    : device_info_(std::move(device_info)), duration_(duration) {}

int MonitorSession::run() {
  const bool live = ::isatty(STDOUT_FILENO) && ::isatty(STDIN_FILENO);
  StopSignals stop_signals;
  std::unique_ptr<TerminalMode> terminal;
  if (live) terminal = std::make_unique<TerminalMode>();
  // On a page the registry's messages would scroll it away; the page shows
  // the last warning or error instead.
  JoystickMonitor monitor(device_info_, [live](int level, const std::string& message) {
    if (!live && level <= kLogInfo) std::printf("          log: %s\n", message.c_str());
  });
  if (!live)
    std::printf("monitoring %s (%s)\n", device_info_.c_str(), MonitorScreen::keyHelp().c_str());
  MonitorReading previous;
  bool answered = false;
  double next_notice = kFirstNotice;
  while (!StopSignals::requested()) {
    std::optional<char> key;
    if (terminal) {
      key = terminal->readKey(kTickMs);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
      key = readPipedKey();
    }
    if (key == 'q' || key == 'Q') break;
    if (key == '1') monitor.togglePowerLight();
    if (key == '2') monitor.toggleSpeedLight();
    if (key == 'i' || key == 'I') monitor.stepIndicator();
    const MonitorReading reading = monitor.read();
    if (!live && key && (*key == '1' || *key == '2' || *key == 'i' || *key == 'I')) {
      std::printf("%8.2f  set power light %s, speed light %s, indicator %d\n", reading.t,
                  monitor.powerLight() ? "on" : "off", monitor.speedLight() ? "on" : "off",
                  monitor.indicator());
    }
    answered = answered || reading.answered;
    if (live) {
      std::cout << kClearScreen
                << MonitorScreen::page(
                       device_info_, reading,
                       {monitor.powerLight(), monitor.speedLight(), monitor.indicator()})
                << std::flush;
    } else {
      for (const auto& line : MonitorScreen::changes(previous, reading)) {
        std::printf("%s\n", line.c_str());
      }
      std::fflush(stdout);
    }
    if (!live && !answered && reading.t >= next_notice) {
      std::printf("%8.2f  no answer from %s yet\n", reading.t, device_info_.c_str());
      next_notice = reading.t + kNoticeEvery;
    }
    previous = reading;
    if (duration_ > 0 && reading.t >= duration_) break;
  }
  if (!answered) {
    std::fprintf(stderr, "rocker-sim: the device at %s never answered\n", device_info_.c_str());
    return 1;
  }
  return 0;
}

}  // namespace velk::rocker_sim
