#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>

namespace rocker_fuzz {

void require(bool holds, const std::string& expectation) {
  if (holds) return;
  std::fprintf(stderr, "FUZZ FINDING: expected %s\n", expectation.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace rocker_fuzz
