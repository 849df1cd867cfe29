// The extension's command interface on arbitrary argument lists (the input
// split at NUL bytes). Any action word but "action1" is answered with 1 and
// no output; otherwise the result is 0 or the option parser's own error,
// and an error leaves the output stream empty.
#include <cstddef>
#include <cstdint>
#include <cxxopts.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "bundle_activator/rocker_extension.h"
#include "fuzz_check.h"
#include "host/common_interface/zorv_control_extension.h"

namespace {

using rocker_fuzz::require;

std::vector<std::string> argumentsOf(const uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const auto extension = velk::zorv_comm::makeRockerExtension();
  // The first byte chooses whether argv[0] is the real action word, so most
  // inputs reach the option parser.
  const bool real_action = size > 0 && (data[0] & 1) != 0;
  std::vector<std::string> args = argumentsOf(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
  if (real_action) args.front() = "action1";
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  std::ostringstream out;
  int result = -1;
  try {
    result = extension->parseCmdLine(static_cast<int>(args.size()), argv.data(), out);
  } catch (const cxxopts::exceptions::exception&) {
    require(out.str().empty(), "no output when the arguments are refused");
    return 0;
  }
  if (args.front() != "action1") {
    require(result == 1 && out.str().empty(), "1 and no output for another action word");
  } else {
    require(result == 0, "0 for the action word");
  }
  return 0;
}
