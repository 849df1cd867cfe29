#pragma once

#include <string>

namespace rocker_sim_test {

// A fresh temporary folder for one test's scenario, options and report
// files, removed with its content afterwards.
class SimWorkspace {
 public:
  SimWorkspace();
  ~SimWorkspace();
  SimWorkspace(const SimWorkspace&) = delete;
  SimWorkspace& operator=(const SimWorkspace&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes `content` to `name` in the folder and returns its path.
  std::string write(const std::string& name, const std::string& content) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace rocker_sim_test
