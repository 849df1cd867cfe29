#include "bundle_activator/command_options.h"

namespace velk::zorv_comm {

cxxopts::Options makeCommandOptions() {
  cxxopts::Options options("Rocker", "Rocker for zorv robot control system");
  options.custom_help("[OPTION...]");
  options.positional_help("positional parameters");
  // clang-format off
  options.add_options("")
      ("h,help", "Print usage", cxxopts::value<bool>())
      ("v,version", "version output", cxxopts::value<bool>()->default_value("false"))
      ("c,status", "running or stopped", cxxopts::value<bool>()->default_value("false"));
  // clang-format on
  return options;
}

}  // namespace velk::zorv_comm
