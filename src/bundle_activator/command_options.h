#pragma once

#include <cxxopts.hpp>

namespace velk::zorv_comm {

// The option set behind the extension's command interface: -h/--help,
// -v/--version and -c/--status, all boolean.
cxxopts::Options makeCommandOptions();

}  // namespace velk::zorv_comm
