#include "bundle/bundle_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "host_rig/scratch_folder.h"

namespace rocker_test {

using velk::host_rig::ScratchFolder;
namespace {

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) {
    if (c == '\'') {
      result += "'\\''";
    } else {
      result += c;
    }
  }
  return result + "'";
}

void run(const std::string& command) {
  const CommandResult result = runCommand(command);
  if (result.status != 0) throw std::runtime_error("command failed: " + command);
}

}  // namespace

CommandResult runCommand(const std::string& command) {
  CommandResult result{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  result.status = pclose(pipe);
  return result;
}

void makeBundleFile(const std::string& base, const std::string& target, const std::string& folder,
                    const std::string& manifest) {
  ScratchFolder staging;
  const std::string entry = folder.empty() ? "manifest.json" : folder + "/manifest.json";
  std::filesystem::create_directories(std::filesystem::path(staging.file(entry)).parent_path());
  std::ofstream(staging.file(entry), std::ios::binary) << manifest;
  std::filesystem::copy_file(base, target, std::filesystem::copy_options::overwrite_existing);
  const std::string zip = quoted(ROCKER_ZIP_EXECUTABLE);
  const std::string what = folder.empty() ? std::string("manifest.json") : quoted(folder);
  run("cd " + quoted(staging.path()) + " && " + zip + " -q -X -r resources.zip " + what);
  run("cat " + quoted(staging.file("resources.zip")) + " >> " + quoted(target));
  run(zip + " -q -A " + quoted(target));
}

}  // namespace rocker_test
