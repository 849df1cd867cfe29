#pragma once

#include <memory>
#include <string>
#include <vector>

#include "communication/modbus_wrapper/modbus_wrapper_impl.h"
#include "robot_sim/simulated_robot.h"
#include "rocker/rocker_service/rocker_service.h"
#include "rocker_service/fake_rocker_clock.h"
#include "support/log_capture.h"

namespace velk::test {

// A rocker service on a simulated robot, with its registry and log in the
// test's hands. The clock is fake: run the service on the test thread only.
struct ServiceRig {
  explicit ServiceRig(const std::string& device_info = "127.0.0.1,1")
      : registry(std::make_shared<zorv_control::ModbusWrapperImpl>(log.callback())),
        service(robot.api(), log.callback(), device_info, registry, clock.clock()) {
    service.setProperty(0.1, 0.01, 0.005, 1.0, 0.0);
    service.setAxis(1, 2, 3);
  }

  std::vector<sim::RecordedCall> calls(const std::string& name) const {
    return robot.callsNamed(name);
  }
  std::size_t count(const std::string& name) const { return calls(name).size(); }

  LogCapture log;  // first: everything below logs into it
  sim::SimulatedRobot robot;
  FakeRockerClock clock;
  std::shared_ptr<zorv_control::ModbusWrapperImpl> registry;
  zorv_comm::RockerService service;
};

}  // namespace velk::test
