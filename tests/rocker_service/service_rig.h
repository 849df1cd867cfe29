#pragma once

#include <memory>
#include <string>
#include <vector>

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "robot_sim/simulated_robot.h"
#include "rocker/rocker_service/rocker_service.h"
#include "rocker_service/fake_rocker_clock.h"
#include "rocker_service/snapshot_joystick.h"
#include "support/log_capture.h"

namespace velk::test {

// A rocker service on a simulated robot, with its registry and log in the
// test's hands, on a stepped clock: run it on the test thread only. Its
// data step reads `joystick`, unless it is fed by the registry (a real
// slave behind it, whose reads the registry stamps on the steady clock).
struct ServiceRig {
  enum class Feed { kSnapshots, kRegistry };
  static constexpr long kPeriodMs = 10;  // the motion task's

  // By default on a serial line that is not there: nothing is ever read.
  explicit ServiceRig(const std::string& device_info = "/dev/null-joystick,115200,N,8,1",
                      Feed feed = Feed::kSnapshots)
      : registry(std::make_shared<zorv_control::ModbusWrapperImpl>(log.callback())),
        service(robot.api(), log.callback(), device_info, registry, clockFor(feed),
                sourceFor(feed)) {
    service.setProperty(0.1, 0.01, 0.005, 1.0, 0.0);
    service.setAxis(1, 2, 3);
  }

  void cycle() {
    service.updateRockerData();
    service.motion();
    clock.advanceMs(kPeriodMs);
  }
  std::vector<sim::RecordedCall> calls(const std::string& name) const {
    return robot.callsNamed(name);
  }
  std::size_t count(const std::string& name) const { return calls(name).size(); }

  LogCapture log;  // first: everything below logs into it
  sim::SimulatedRobot robot;
  FakeRockerClock clock;
  SnapshotJoystick joystick{[this] { return clock.monotonic(); }};
  std::shared_ptr<zorv_control::ModbusWrapperImpl> registry;
  zorv_comm::RockerService service;

 private:
  zorv_comm::RockerClock clockFor(Feed feed) {
    zorv_comm::RockerClock stepped = clock.clock();
    if (feed == Feed::kRegistry) stepped.monotonic = nullptr;
    return stepped;
  }
  zorv_comm::RockerService::SnapshotSource sourceFor(Feed feed) {
    if (feed == Feed::kRegistry) return nullptr;
    return [this](zorv_control::SignalSnapshot& s) { joystick.fill(s); };
  }
};

}  // namespace velk::test
