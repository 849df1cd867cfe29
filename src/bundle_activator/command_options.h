#pragma once

#include <cstddef>
#include <cxxopts.hpp>

namespace velk::zorv_comm {

// The option set behind the extension's command interface: -h/--help,
// -v/--version and -c/--status, all boolean.
cxxopts::Options makeCommandOptions();

// The longest argument handed to the option parser. Its regular expression
// recurses once per character, so tens of kilobytes overflow the host
// thread's stack; no option of ours is a tenth of this long.
constexpr std::size_t kMaxCommandArgumentLength = 1024;

// Throws cxxopts::exceptions::invalid_option_syntax for the first of
// argv[1..argc) longer than kMaxCommandArgumentLength, naming its start.
void refuseOverlongArguments(int argc, char** argv);

}  // namespace velk::zorv_comm
