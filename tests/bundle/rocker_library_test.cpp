// The built librocker.so as a host and its tools see the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "bundle/bundle_file.h"

namespace {

using rocker_test::runCommand;

const std::string kLibrary = ROCKER_BUNDLE_PATH;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::vector<std::string> lastColumn(const std::string& output) {
  std::vector<std::string> names;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    const auto space = line.find_last_of(' ');
    if (!line.empty()) names.push_back(line.substr(space == std::string::npos ? 0 : space + 1));
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RockerLibraryTest, CarriesTheManifestBytesInADeflatedZip) {
  const auto list = runCommand(std::string(ROCKER_UNZIP_EXECUTABLE) + " -l " + quoted(kLibrary) +
                               " >/dev/null 2>&1");
  EXPECT_EQ(list.status, 0);

  const auto manifest = runCommand(std::string(ROCKER_UNZIP_EXECUTABLE) + " -p " +
                                   quoted(kLibrary) + " rocker/manifest.json");
  EXPECT_EQ(manifest.status, 0);
  EXPECT_EQ(manifest.output,
            "{\n  \"bundle.symbolic_name\" : \"zorv_comm\",\n  \"bundle.activator\" : true\n}\n");

  // unzip -Z1 lists entry names only, one per line.
  const auto entries =
      runCommand(std::string(ROCKER_UNZIP_EXECUTABLE) + " -Z1 " + quoted(kLibrary));
  EXPECT_EQ(entries.output, "rocker/\nrocker/manifest.json\n");
  const auto verbose = runCommand(std::string(ROCKER_UNZIP_EXECUTABLE) + " -v " + quoted(kLibrary) +
                                  " rocker/manifest.json");
  EXPECT_NE(verbose.output.find("Defl:"), std::string::npos) << verbose.output;
}

TEST(RockerLibraryTest, ExportsOnlyTheThreeEntryPoints) {
  const auto symbols =
      runCommand(std::string(ROCKER_NM) + " -D --defined-only " + quoted(kLibrary));
  ASSERT_EQ(symbols.status, 0);
  EXPECT_EQ(lastColumn(symbols.output),
            (std::vector<std::string>{"_us_create_activator_rocker", "_us_destroy_activator_rocker",
                                      "_us_set_bundle_context_instance_rocker"}));
}

TEST(RockerLibraryTest, FindsKelmiThroughItsRunPathAndLeavesTheRobotApiToTheHost) {
  const auto dynamic = runCommand(std::string(ROCKER_READELF) + " -d " + quoted(kLibrary));
  ASSERT_EQ(dynamic.status, 0);
  EXPECT_NE(dynamic.output.find("[libkelmi.so.0]"), std::string::npos) << dynamic.output;
  EXPECT_NE(dynamic.output.find("RUNPATH"), std::string::npos) << dynamic.output;
  // Which robot API symbols stay undefined: host_declarations_test.cpp.
  EXPECT_EQ(dynamic.output.find("robot_sim"), std::string::npos) << dynamic.output;
}

}  // namespace
