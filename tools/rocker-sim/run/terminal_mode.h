#pragma once

#include <optional>

namespace velk::rocker_sim {

// Standard input switched to single key presses without echo, for the
// interactive mode, and always switched back: on destruction, and from the
// handlers of the signals that end, stop or crash the process (Ctrl-C ends
// the session in order; Ctrl-Z suspends with the terminal restored and
// resumes raw).
class TerminalMode {
 public:
  // Throws InputError when standard input is not a terminal.
  TerminalMode();
  ~TerminalMode();
  TerminalMode(const TerminalMode&) = delete;
  TerminalMode& operator=(const TerminalMode&) = delete;

  // A key pressed within `wait_ms` milliseconds, if any.
  std::optional<char> readKey(int wait_ms) const;
};

}  // namespace velk::rocker_sim
