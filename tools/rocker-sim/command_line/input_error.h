#pragma once

#include <stdexcept>

namespace velk::rocker_sim {

// Bad input from the user (arguments, scenario or options file). main()
// reports it with its own exit status, apart from failures of the run itself,
// so that scripts can tell "you asked for something wrong" from "it broke".
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace velk::rocker_sim
