#include "bundle_activator/command_options.h"

#include <cstring>
#include <string>

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

void refuseOverlongArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    if (std::strlen(argv[i]) > kMaxCommandArgumentLength) {
      throw cxxopts::exceptions::invalid_option_syntax(std::string(argv[i], 32) + "...");
    }
  }
}

}  // namespace velk::zorv_comm
