#pragma once

#include <string>

namespace rocker_fuzz {

// Ends the run as a finding when `holds` is false: prints what was expected
// and aborts, so libFuzzer keeps the input as a crash file.
void require(bool holds, const std::string& expectation);

}  // namespace rocker_fuzz
