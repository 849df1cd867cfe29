// Report files are written whole or not at all.
#include "rocker-sim/report/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "tools/sim_workspace.h"

namespace {

using velk::rocker_sim::AtomicFile;

TEST(AtomicFile, ReplacesTheWholeFileAndLeavesNoTemporaryBehind) {
  rocker_sim_test::SimWorkspace space;
  const std::string path = space.write("report.json", std::string(10000, 'x'));
  AtomicFile::write(path, "{}\n");
  EXPECT_EQ(rocker_sim_test::SimWorkspace::read(path), "{}\n");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(space.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(AtomicFile, AFolderThatCannotTakeTheFileIsSeenBeforeAndReportedAfter) {
  rocker_sim_test::SimWorkspace space;
  const std::string missing = space.file("missing/report.json");
  EXPECT_FALSE(AtomicFile::canCreate(missing));
  EXPECT_FALSE(AtomicFile::canCreate(space.path()));  // a folder, not a file
  EXPECT_TRUE(AtomicFile::canCreate(space.file("report.json")));
  EXPECT_THROW(AtomicFile::write(missing, "{}"), std::runtime_error);
}

}  // namespace
