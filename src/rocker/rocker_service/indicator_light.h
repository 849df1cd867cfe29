#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

namespace velk::common_interface {
class RobotInterface;
class ZorvApi;
}  // namespace velk::common_interface

namespace velk::zorv_control {
class ModbusWrapperImpl;
}  // namespace velk::zorv_control

namespace velk::zorv_comm {

// Owns the joystick's indicator light: which state it shows, chosen from
// the robot's state, and the code written for it. A state is written once on
// entry; only the paused state writes on, as a blink.
class IndicatorLight {
 public:
  static constexpr int kStateReadError = 1;
  static constexpr int kStateSafetyStop = 2;
  static constexpr int kStateStopped = 3;
  static constexpr int kStateFreedrive = 4;
  static constexpr int kStateJogReady = 5;
  static constexpr int kStatePaused = 6;

  // The registry the light is written through, before the first write.
  void useRegistry(std::shared_ptr<zorv_control::ModbusWrapperImpl> registry) {
    registry_ = std::move(registry);
  }

  // The state last shown; 0 before the first.
  int state() const { return state_; }
  void show(int state, uint16_t code);
  // Applies the first indicator rule that fits the robot's state; false
  // when the rule ends the cycle's data step there.
  bool applyRules(common_interface::RobotInterface& robot, common_interface::ZorvApi& api);
  // One step of the paused blink: lit for 101 calls, dark for 99.
  void blinkPaused();

 private:
  std::shared_ptr<zorv_control::ModbusWrapperImpl> registry_;
  int state_ = 0;

  // Step of the paused blink, shared by every service of the process like
  // the indicator it animates. Atomic because two started extensions would
  // run their tasks on two threads.
  static std::atomic<int> paused_blink_step_;
};

}  // namespace velk::zorv_comm
