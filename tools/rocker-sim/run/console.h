#pragma once

#include <mutex>
#include <string>

namespace velk::rocker_sim {

// The terminal, shared by the bundle's threads (log lines) and the main
// thread (reports, the live status line). Each line goes out whole, and log
// lines pass above the status line instead of through it.
class Console {
 public:
  // A line to standard error (the bundle's log, notes and warnings).
  void errorLine(const std::string& line);
  // Text to standard output, as it is.
  void print(const std::string& text);
  // The live status line on standard output, redrawn in place.
  void showStatus(const std::string& text);
  void clearStatus();

 private:
  void eraseStatus();
  void drawStatus();

  std::mutex mutex_;
  std::string status_;
  bool status_shown_ = false;
};

}  // namespace velk::rocker_sim
