// Hostile package files: the firmware version is recorded by the rocker
// service on the periodic task thread, so whatever sits at the package
// file's path must not crash it, hang it, or leave a half-written file; a
// failure is reported in the log and the result, and the old file stays.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host_rig/rig_timing.h"
#include "host_rig/scratch_folder.h"
#include "reliability/child_outcome.h"
#include "rocker/rocker_service/rocker_service.h"
#include "support/log_capture.h"

namespace rocker_reliability {
namespace {

using namespace velk::host_rig::timing;
using velk::host_rig::ScratchFolder;

using velk::zorv_comm::RockerService;

constexpr const char* kOldDocument = "{\n    \"firmware_version\": \"1.1.2\"\n}";
constexpr int kNobody = 65534;

class PackageFileInputTest : public ::testing::Test {
 protected:
  // A service of its own per call: the child processes below must not
  // inherit a poll thread.
  bool record(const std::string& version) {
    RockerService service(nullptr, log_.callback(), "/dev/null-joystick");
    service.setConfigPath(path_);
    return service.updateConfig(version);
  }

  // Records `version` in a forked child once `prepare` has set the child up
  // (false: it could not); the child's exit code is 0 on success, 1 on
  // refusal.
  ChildOutcome recordInChild(const std::function<bool()>& prepare, const std::string& version) {
    return ChildOutcome::of(
        [&] {
          if (!prepare()) return 20;
          return record(version) ? 0 : 1;
        },
        static_cast<unsigned int>(20 * kSlowdown));
  }

  // Root may read and write anywhere; the child gives up root first.
  static bool asNobody() {
    return ::geteuid() != 0 || (::setgid(kNobody) == 0 && ::setuid(kNobody) == 0);
  }

  // The update was refused and the old document is there, whole, alone.
  void expectRefusedAndKept(const ChildOutcome& outcome) const {
    EXPECT_TRUE(outcome.exited() && outcome.exitCode() == 1) << outcome.describe();
    EXPECT_EQ(ScratchFolder::read(path_), kOldDocument);
    EXPECT_FALSE(leftTemporaryFile());
  }

  bool leftTemporaryFile() const { return ::access((path_ + ".tmp").c_str(), F_OK) == 0; }
  int failuresLogged() const {
    return log_.countContaining("Failed to open config file for writing: " + path_);
  }

  ScratchFolder dir_;
  std::string path_ = dir_.file("package.json");
  velk::test::LogCapture log_;
};

TEST_F(PackageFileInputTest, DirectoryWhereTheFileShouldBeIsReportedAndLeftAlone) {
  std::filesystem::create_directory(path_);
  ScratchFolder::writeFile(path_ + "/inside", "keep");
  EXPECT_FALSE(record("1.1.3"));
  EXPECT_TRUE(std::filesystem::is_directory(path_));
  EXPECT_EQ(ScratchFolder::read(path_ + "/inside"), "keep");
  EXPECT_FALSE(leftTemporaryFile());
  EXPECT_GE(log_.countContaining("updateConfig"), 1);
}

TEST_F(PackageFileInputTest, MissingFolderIsReportedAndNothingIsCreated) {
  path_ = dir_.file("no/such/folder/package.json");
  EXPECT_FALSE(record("1.1.3"));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("no")));
  EXPECT_EQ(failuresLogged(), 1);
}

TEST_F(PackageFileInputTest, FileTheProcessMayNotWriteKeepsItsContent) {
  ScratchFolder::writeFile(path_, kOldDocument);
  ::chmod(path_.c_str(), 0444);
  ::chmod(dir_.path().c_str(), 0755);
  expectRefusedAndKept(recordInChild(asNobody, "1.1.3"));
}

// A file the process may write but not read: taking it for a missing file
// would replace the whole document with the version alone.
TEST_F(PackageFileInputTest, FileTheProcessMayNotReadKeepsItsOtherMembers) {
  ScratchFolder::writeFile(path_, kOldDocument);
  if (::geteuid() == 0) {  // the child gives up root for nobody, who owns both
    ASSERT_EQ(::chown(dir_.path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(path_.c_str(), kNobody, kNobody), 0);
  }
  ::chmod(path_.c_str(), 0200);
  expectRefusedAndKept(recordInChild(asNobody, "1.1.3"));
}

// The disk fills up while the new document is written: a file size limit
// makes the write fail exactly as a full disk does (EFBIG instead of
// ENOSPC), without a mount.
TEST_F(PackageFileInputTest, FullDiskLeavesTheOldFileWhole) {
  ScratchFolder::writeFile(path_, kOldDocument);
  const auto fileSizeLimit = [] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8, 8};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  };
  expectRefusedAndKept(recordInChild(fileSizeLimit, "1.1.3-with-a-longer-version-text"));
}

// Reading a named pipe blocks until somebody writes into it, which nobody
// does: the task thread must not wait for that.
TEST_F(PackageFileInputTest, NamedPipeWhereTheFileShouldBeDoesNotHangTheTask) {
  ASSERT_EQ(::mkfifo(path_.c_str(), 0644), 0);
  const ChildOutcome outcome = ChildOutcome::of([&] { return record("1.1.3") ? 0 : 1; },
                                                static_cast<unsigned>(5 * kSlowdown));
  EXPECT_TRUE(outcome.exited()) << "recording the version into a named pipe " << outcome.describe();
}

struct ContentCase {
  const char* name;
  std::string content;
};

// Files that are not a JSON object, or whose version is not a string: the
// update is refused, the file keeps its bytes.
TEST_F(PackageFileInputTest, ContentThatCannotHoldTheVersionIsLeftUntouched) {
  const std::vector<ContentCase> cases = {
      {"empty", ""},
      {"not json", "firmware_version = 1.1.2"},
      {"truncated", "{\"firmware_version\": \"1.1"},
      {"array", "[\"firmware_version\", \"1.1.2\"]"},
      {"number", "113"},
      {"version as number", "{\"firmware_version\": 113}"},
      {"version as object", "{\"firmware_version\": {\"major\": 1}}"},
      {"not utf-8", "{\"firmware_version\": \"\xff\xfe\"}"},
      {"nul byte", std::string("{\"firmware_version\": \"1.1.2\0\"}", 30)},
      {"deep arrays", std::string(100000, '[') + std::string(100000, ']')},
  };
  for (const auto& c : cases) {
    ScratchFolder::writeFile(path_, c.content);
    EXPECT_FALSE(record("1.1.3")) << c.name;
    EXPECT_EQ(ScratchFolder::read(path_), c.content) << c.name;
    EXPECT_FALSE(leftTemporaryFile()) << c.name;
  }
}

// Big, deep, foreign content in other members survives an update intact.
TEST_F(PackageFileInputTest, LargeDocumentsKeepEveryOtherMember) {
  std::string document = "{\"blob\": \"" + std::string(1 << 20, 'x') +
                         "\", \"deep\": " + std::string(500, '[') + std::string(500, ']') +
                         ", \"名前\": \"摇杆\", \"firmware_version\": \"1.1.2\"}";
  ScratchFolder::writeFile(path_, document);
  const auto begin = Clock::now();
  EXPECT_TRUE(record("1.1.3"));
  std::cout << "[figure] package file update of " << document.size()
            << " bytes: " << millisecondsOf(Clock::now() - begin) << " ms" << std::endl;
  const std::string after = ScratchFolder::read(path_);
  EXPECT_NE(after.find("\"firmware_version\": \"1.1.3\""), std::string::npos);
  EXPECT_NE(after.find(std::string(1 << 20, 'x')), std::string::npos);
  EXPECT_NE(after.find("\"名前\": \"摇杆\""), std::string::npos);
  EXPECT_FALSE(leftTemporaryFile());
}

}  // namespace
}  // namespace rocker_reliability
