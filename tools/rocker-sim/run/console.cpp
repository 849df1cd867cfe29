#include "rocker-sim/run/console.h"

#include <cstdio>

namespace velk::rocker_sim {

namespace {

constexpr const char* kEraseLine = "\r\033[K";

}  // namespace

void Console::errorLine(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  eraseStatus();
  std::fputs(line.c_str(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  drawStatus();
}

void Console::print(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  eraseStatus();
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
  drawStatus();
}

void Console::showStatus(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (status_shown_ && text == status_) return;  // a redraw would only flicker
  status_ = text;
  status_shown_ = true;
  drawStatus();
}

void Console::clearStatus() {
  std::lock_guard<std::mutex> lock(mutex_);
  eraseStatus();
  status_shown_ = false;
  status_.clear();
}

void Console::eraseStatus() {
  if (!status_shown_) return;
  std::fputs(kEraseLine, stdout);
  std::fflush(stdout);
}

void Console::drawStatus() {
  if (!status_shown_) return;
  std::fputs(kEraseLine, stdout);
  std::fputs(status_.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace velk::rocker_sim
