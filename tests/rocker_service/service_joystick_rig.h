#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "host_rig/rig_timing.h"
#include "joystick_sim/tcp_slave.h"
#include "rocker_service/service_rig.h"

namespace velk::test {

// A rocker service whose joystick is a real Modbus TCP slave on loopback,
// read and written by the real registry and poll thread. The test thread
// runs the service's cycle; after changing the slave it waits until the
// registry has read the change, so every cycle sees what the test set up.
class ServiceJoystickRig {
 public:
  static constexpr std::chrono::milliseconds kWait{8000};

  ServiceJoystickRig()
      : rig("127.0.0.1," + std::to_string(slave.port()), ServiceRig::Feed::kRegistry) {}

  template <class Condition>
  static bool waitFor(Condition condition) {
    return host_rig::timing::waitFor(condition, kWait);
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
  // Power-on cycle, then the first cycle with healthy data.
  void powerOn() {
    rig.cycle();
    ASSERT_TRUE(waitFor([this] { return healthy(); }));
    rig.cycle();
  }
  // Until the registry, with every signal healthy, has read `on` from the coil.
  void setCoil(int address, bool on, const char* name) {
    slave.setCoil(address, on);
    ASSERT_TRUE(
        waitFor([&] { return healthy() && rig.registry->modbusGetSignalStatus(name) == on; }));
  }

  joystick_sim::TcpSlave slave;
  ServiceRig rig;
};

}  // namespace velk::test
