#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "joystick_sim/joystick_map.h"
#include "joystick_sim/tcp_slave.h"
#include "rocker/rocker_service/rocker_signal_table.h"
#include "rocker_service/service_rig.h"

namespace velk::test {

// A rocker service whose joystick is a real Modbus TCP slave on loopback,
// read by the real registry and poll thread. The test thread runs the
// service's cycle; after changing the slave it waits until the registry has
// read the change, so every cycle sees exactly what the test set up.
class JoystickBench {
 public:
  static constexpr std::chrono::seconds kWait{8};

  JoystickBench() : rig("127.0.0.1," + std::to_string(slave.port())) {}

  void cycle() {
    rig.service.updateRockerData();
    rig.service.motion();
  }
  // Every signal healthy and read from the slave at least once (a probe
  // clears the error state before the signal's group has been read).
  bool healthy() const {
    const std::vector<int> errors = rig.registry->modbusGetSignalErrors();
    const auto read_times = rig.registry->modbusGetSignalReadTimes();
    return errors.size() == 16 &&
           std::all_of(errors.begin(), errors.end(), [](int e) { return e == 0; }) &&
           std::none_of(read_times.begin(), read_times.end(),
                        [](auto t) { return t == std::chrono::steady_clock::time_point(); });
  }
  bool failing() const {
    const std::vector<int> errors = rig.registry->modbusGetSignalErrors();
    return std::any_of(errors.begin(), errors.end(), [](int e) { return e != 0; });
  }
  // The device declared its connection lost.
  bool lost() const {
    const std::vector<int> errors = rig.registry->modbusGetSignalErrors();
    return std::any_of(errors.begin(), errors.end(), [](int e) { return e < 0; });
  }
  template <class Predicate>
  static bool waitFor(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return done();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  // Until the registry, with every signal healthy, reports `value` for `name`.
  bool await(const char* name, int value) const {
    return waitFor([&] { return healthy() && rig.registry->modbusGetSignalStatus(name) == value; });
  }
  // Power-on cycle, then the first cycle with healthy data.
  void powerOn() {
    cycle();
    ASSERT_TRUE(waitFor([this] { return healthy(); }));
    cycle();
  }
  void setCoil(int address, bool on, const char* name) {
    slave.setCoil(address, on);
    ASSERT_TRUE(await(name, on ? 1 : 0));
  }
  void setStickX(int value) {
    slave.setInputRegister(joystick_sim::JoystickMap::kFirstAxisRegister,
                           static_cast<uint16_t>(value));
    ASSERT_TRUE(await("get_x", static_cast<uint16_t>(value)));
  }
  // Jogging switched on with the power button, and the stick read centred
  // since then, as a jog needs.
  void switchOn() {
    if (!rig.service.rockerOn()) {
      setCoil(joystick_sim::JoystickMap::kPowerButtonCoil, false, "get_button_0");
      cycle();  // a press is a rising edge: the button must be seen up first
      setCoil(joystick_sim::JoystickMap::kPowerButtonCoil, true, "get_button_0");
      // The cycle that shows a new robot state on the indicator ends
      // before the buttons.
      for (int i = 0; i < 3 && !rig.service.rockerOn(); ++i) cycle();
      ASSERT_TRUE(rig.service.rockerOn());
      setCoil(joystick_sim::JoystickMap::kPowerButtonCoil, false, "get_button_0");
    }
    awaitFreshStick();
    cycle();
  }
  // Until the stick has been read again after this moment.
  void awaitFreshStick() const {
    const auto since = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] {
      const auto names = rig.registry->modbusGetSignalNames();
      const auto times = rig.registry->modbusGetSignalReadTimes();
      for (std::size_t i = 0; i < names.size() && i < times.size(); ++i) {
        const auto& axes = zorv_comm::RockerSignalTable::axes();
        const bool axis = std::find(axes.begin(), axes.end(), names[i]) != axes.end();
        if (axis && times[i] <= since) return false;
      }
      return names.size() == 16;
    }));
  }
  // A push that settles: the jog starts with the second cycle.
  void jogAt(int x) {
    setStickX(x - 10);
    cycle();
    setStickX(x);
    cycle();
    ASSERT_EQ(rig.count("speedLine"), 1u);
  }

  joystick_sim::TcpSlave slave;
  ServiceRig rig;
};

}  // namespace velk::test
