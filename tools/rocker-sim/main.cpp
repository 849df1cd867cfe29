// rocker-sim: runs the rocker bundle end to end on one machine, loaded the
// way the control system loads it, with a simulated joystick and robot.
#include <iostream>

#include "rocker-sim/command_line/command_line.h"
#include "rocker-sim/command_line/device_info_check.h"
#include "rocker-sim/command_line/input_error.h"
#include "rocker-sim/monitor/monitor_session.h"
#include "rocker-sim/run/interactive_session.h"
#include "rocker-sim/run/simulator.h"

int main(int argc, char** argv) {
  using velk::rocker_sim::Simulator;
  try {
    const auto settings =
        velk::rocker_sim::CommandLine(ROCKER_SIM_DEFAULT_BUNDLE, ROCKER_SIM_DEFAULT_SCENARIO)
            .parse(argc, argv);
    if (settings.help) {
      std::cout << settings.help_text << "\n" << velk::rocker_sim::InteractiveSession::keyHelp();
      return Simulator::kExitOk;
    }
    if (settings.monitor) {
      if (const auto problem = velk::rocker_sim::DeviceInfoCheck::problem(settings.device_info)) {
        throw velk::rocker_sim::InputError(*problem);
      }
      return velk::rocker_sim::MonitorSession(settings.device_info, settings.duration).run();
    }
    return Simulator(settings).run();
  } catch (const velk::rocker_sim::InputError& e) {
    std::cerr << "rocker-sim: error: " << e.what() << std::endl;
    return Simulator::kExitBadInput;
  } catch (const std::exception& e) {
    std::cerr << "rocker-sim: failed: " << e.what() << std::endl;
    return Simulator::kExitFailed;
  }
}
