#include "robot_sim/simulated_robot.h"

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "host/common_interface/zorv_api.h"
#include "host_backend.h"

namespace velk::sim {

using common_interface::HostBackend;

SimulatedRobot::SimulatedRobot() : backend_(std::make_shared<HostBackend>()) {}

SimulatedRobot::~SimulatedRobot() = default;

std::shared_ptr<common_interface::ZorvApi> SimulatedRobot::api() const {
  return std::make_shared<common_interface::ZorvApi>(backend_);
}

void SimulatedRobot::advance(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0.0) {
    throw std::invalid_argument("simulated time only moves forward by a finite amount");
  }
  backend_->advance(
      std::chrono::round<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds)));
}

void SimulatedRobot::setRealTime(bool enabled) { backend_->setRealTime(enabled); }

bool SimulatedRobot::realTime() const { return backend_->realTime(); }

double SimulatedRobot::simTime() const {
  return backend_->inspect(
      [](RobotModel& robot) { return std::chrono::duration<double>(robot.simTime()).count(); });
}

void SimulatedRobot::setRobotModeType(int type) {
  backend_->inspect([type](RobotModel& robot) { robot.setRobotModeType(type); });
}

int SimulatedRobot::robotModeType() const {
  return backend_->inspect([](RobotModel& robot) { return robot.robotModeType(); });
}

void SimulatedRobot::setSafetyModeType(int type) {
  backend_->inspect([type](RobotModel& robot) { robot.setSafetyModeType(type); });
}

int SimulatedRobot::safetyModeType() const {
  return backend_->inspect([](RobotModel& robot) { return robot.safetyModeType(); });
}

void SimulatedRobot::setRuntimeStatus(int status) {
  backend_->inspect([status](RobotModel& robot) { robot.setRuntimeStatus(status); });
}

int SimulatedRobot::runtimeStatus() const {
  return backend_->inspect([](RobotModel& robot) { return robot.runtimeStatus(); });
}

void SimulatedRobot::setFreedriveEnabled(bool enabled) {
  backend_->inspect([enabled](RobotModel& robot) { robot.setFreedriveEnabled(enabled); });
}

bool SimulatedRobot::freedriveEnabled() const {
  return backend_->inspect([](RobotModel& robot) { return robot.freedriveEnabled(); });
}

void SimulatedRobot::setRobotNames(std::vector<std::string> names) {
  backend_->inspect([&names](RobotModel& robot) { robot.setRobotNames(std::move(names)); });
}

std::vector<std::string> SimulatedRobot::robotNames() const {
  return backend_->inspect([](RobotModel& robot) { return robot.robotNames(); });
}

void SimulatedRobot::setToolPose(const std::vector<double>& pose) {
  backend_->inspect([&pose](RobotModel& robot) { robot.setToolPose(pose); });
}

std::vector<double> SimulatedRobot::toolPose() const {
  return backend_->inspect([](RobotModel& robot) { return robot.toolPose(); });
}

std::vector<double> SimulatedRobot::toolSpeed() const {
  return backend_->inspect([](RobotModel& robot) { return robot.toolSpeed(); });
}

bool SimulatedRobot::steady() const {
  return backend_->inspect([](RobotModel& robot) { return robot.steady(); });
}

int SimulatedRobot::toolVoltage() const {
  return backend_->inspect([](RobotModel& robot) { return robot.toolVoltage(); });
}

std::vector<RecordedCall> SimulatedRobot::calls() const { return backend_->callRecord().all(); }

std::vector<RecordedCall> SimulatedRobot::callsNamed(const std::string& name) const {
  return backend_->callRecord().where(
      [&name](const RecordedCall& call) { return call.name == name; });
}

std::vector<RecordedCall> SimulatedRobot::commands() const {
  return backend_->callRecord().where(
      [](const RecordedCall& call) { return call.kind == CallKind::kCommand; });
}

std::size_t SimulatedRobot::droppedCalls() const { return backend_->callRecord().dropped(); }

void SimulatedRobot::failCall(const std::string& name, int times) {
  backend_->armFaults([&](HostFaults& faults) { faults.failCall(name, times); });
}

void SimulatedRobot::replyPose(const std::string& name, std::optional<std::vector<double>> reply) {
  backend_->armFaults([&](HostFaults& faults) { faults.replyPose(name, std::move(reply)); });
}

void SimulatedRobot::withholdHandle(const std::string& getter, bool withheld) {
  backend_->armFaults([&](HostFaults& faults) { faults.withholdHandle(getter, withheld); });
}

void SimulatedRobot::stallCall(const std::string& name, std::function<void()> during) {
  backend_->armFaults([&](HostFaults& faults) { faults.stallCall(name, std::move(during)); });
}

void SimulatedRobot::clearCalls() { backend_->callRecord().clear(); }

void SimulatedRobot::setCallRecordCapacity(std::size_t capacity) {
  backend_->callRecord().setCapacity(capacity);
}

void SimulatedRobot::setRecordQueries(bool record) {
  backend_->callRecord().setRecordQueries(record);
}

std::map<std::string, std::size_t> SimulatedRobot::queryCounts() const {
  return backend_->callRecord().queryCounts();
}

}  // namespace velk::sim
