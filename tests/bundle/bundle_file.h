#pragma once

#include <string>

namespace rocker_test {

// Output and exit status of a shell command.
struct CommandResult {
  int status;
  std::string output;
};

// Runs command with /bin/sh and collects its standard output.
CommandResult runCommand(const std::string& command);

// Makes target a copy of base (which must hold no ZIP yet) with a ZIP appended the way the build
// appends bundle resources: the entry "<folder>/manifest.json" holding manifest, made by the zip
// tool, offsets fixed with "zip -A". An empty folder appends a ZIP with one top-level file and no
// folder.
void makeBundleFile(const std::string& base, const std::string& target, const std::string& folder,
                    const std::string& manifest);

}  // namespace rocker_test
