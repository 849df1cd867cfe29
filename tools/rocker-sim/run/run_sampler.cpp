#include "rocker-sim/run/run_sampler.h"

#include <cmath>

#include "joystick_sim/simulated_joystick.h"
#include "robot_sim/simulated_robot.h"

namespace velk::rocker_sim {

RunSampler::RunSampler(sim::SimulatedRobot& robot, const SimulatedJoystick* joystick,
                       RunRecord& record)
    : robot_(robot), joystick_(joystick), record_(record) {}

void RunSampler::sample(double now) {
  samplePath(now);
  sampleLights(now);
}

JoystickLights RunSampler::lights() const {
  return joystick_ ? joystick_->lights() : JoystickLights{};
}

void RunSampler::samplePath(double now) {
  const std::vector<double> speed = robot_.toolSpeed();
  PathSample sample{now, robot_.toolPose(), 0.0};
  if (speed.size() >= 3) sample.speed = std::hypot(speed[0], speed[1], speed[2]);
  auto& path = record_.path;
  // A run of samples at rest collapses into its first and last entries.
  if (path.size() >= 2 && sample.speed == 0.0 && path.back().speed == 0.0 &&
      path[path.size() - 2].speed == 0.0 && path.back().pose == sample.pose &&
      path[path.size() - 2].pose == sample.pose) {
    path.back().t = now;
    return;
  }
  path.push_back(std::move(sample));
}

void RunSampler::sampleLights(double now) {
  if (joystick_ == nullptr) return;
  const JoystickLights lights = joystick_->lights();
  if (!record_.lights.empty() && record_.lights.back().lights == lights) return;
  record_.lights.push_back(LightSample{now, lights});
}

}  // namespace velk::rocker_sim
