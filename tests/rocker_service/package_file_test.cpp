#include "rocker/rocker_service/package_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "common/log_level.h"
#include "rocker_service/scratch_folder.h"
#include "support/log_capture.h"

namespace velk::zorv_comm {
namespace {

using test::ScratchFolder;

const std::string kSignature = "bool velk::zorv_comm::RockerService::updateConfig(const string&)";

std::string onlyVersion(const std::string& version) {
  return "{\n    \"firmware_version\": \"" + version + "\"\n}";
}

struct FileCase {
  const char* name;
  std::optional<std::string> before;  // nullopt: no file
  std::string version;
  bool result;
  std::string after;
  int level;
  std::string message;  // logged with the signature in front
};

class PackageFileTest : public ::testing::Test {
 protected:
  bool record(const std::string& version) {
    return PackageFile(log_.callback(), path_).recordFirmwareVersion(version);
  }
  bool logged(int level, const std::string& message) const {
    return log_.count(level, kSignature + message) == 1;
  }

  ScratchFolder folder_;
  std::string path_ = folder_.file("package.json");
  test::LogCapture log_;
};

TEST_F(PackageFileTest, RecordsTheVersionAndKeepsEverythingElse) {
  const std::string others =
      "{\"b\":[1,2],\"a\":{\"z\":1,\"y\":\"名字\"},\"firmware_version\":\"1.0.0\"}";
  const FileCase cases[] = {
      {"no file", std::nullopt, "1.1.3", true, onlyVersion("1.1.3"), kLogInfo,
       " firmware_version field not found, create: 1.1.3"},
      {"same version, formatting kept", std::string("{ \"firmware_version\":\"1.1.3\" }\n"),
       "1.1.3", true, "{ \"firmware_version\":\"1.1.3\" }\n", kLogDebug,
       " firmware_version unchanged: 1.1.3"},
      {"other version, sorted, indented, utf-8 kept", others, "1.1.4", true,
       "{\n    \"a\": {\n        \"y\": \"名字\",\n        \"z\": 1\n    },\n    \"b\": [\n        "
       "1,\n"
       "        2\n    ],\n    \"firmware_version\": \"1.1.4\"\n}",
       kLogInfo, " firmware_version update: 1.0.0 -> 1.1.4"},
      {"empty object", std::string("{}"), "2.0.1", true, onlyVersion("2.0.1"), kLogInfo,
       " firmware_version field not found, create: 2.0.1"},
      {"case counts", onlyVersion("1.a.0"), "1.A.0", true, onlyVersion("1.A.0"), kLogInfo,
       " firmware_version update: 1.a.0 -> 1.A.0"},
      {"trailing text ignored", std::string("{\"firmware_version\":\"1\"} junk"), "1", true,
       "{\"firmware_version\":\"1\"} junk", kLogDebug, " firmware_version unchanged: 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log_.clear();
    std::filesystem::remove(path_);
    if (c.before) ScratchFolder::write(path_, *c.before);
    EXPECT_EQ(record(c.version), c.result);
    EXPECT_EQ(ScratchFolder::read(path_), c.after);
    EXPECT_TRUE(logged(c.level, c.message));
    EXPECT_EQ(logged(kLogDebug, " Config file not found, will create new: " + path_), !c.before);
    EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp"));
  }
}

TEST_F(PackageFileTest, LeavesFilesItCannotUseUntouched) {
  const char* unusable[] = {"", "not json", "[\"firmware_version\"]", "\"1.1.3\"",
                            "{\"firmware_version\": 113, \"x\": 1}"};
  for (const char* content : unusable) {
    SCOPED_TRACE(content);
    log_.clear();
    ScratchFolder::write(path_, content);
    EXPECT_FALSE(record("1.1.3"));
    EXPECT_EQ(ScratchFolder::read(path_), content);
    EXPECT_EQ(log_.countContaining(kSignature), 1) << "one clear message";
  }
  log_.clear();
  ScratchFolder::write(path_, "not json");
  record("1.1.3");
  EXPECT_EQ(log_.messages(kLogDebug).size(), 1u);
  EXPECT_EQ(log_.countContaining(kSignature + " JSON parse error: "), 1);
}

// The replacement is read by whoever read the old file, with the access the
// old file gave; a second name of the file keeps the old text, with a Warning.
TEST_F(PackageFileTest, ReplacementKeepsModeAndOwnerAndSaysWhenALinkIsLeft) {
  ScratchFolder::write(path_, onlyVersion("1.0.0"));
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path_.c_str(), 4321, 8765), 0);
  }
  const std::string other_name = folder_.file("package.link");
  std::filesystem::create_hard_link(path_, other_name);

  EXPECT_TRUE(record("1.1.3"));
  struct stat after {};
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(after.st_uid, 4321u);
    EXPECT_EQ(after.st_gid, 8765u);
  }
  EXPECT_EQ(ScratchFolder::read(path_), onlyVersion("1.1.3"));
  EXPECT_EQ(ScratchFolder::read(other_name), onlyVersion("1.0.0"));
  EXPECT_TRUE(logged(kLogWarning,
                     " Config file has 2 hard links; it is replaced, the other "
                     "names keep the old text: " +
                         path_));
  log_.clear();
  EXPECT_TRUE(record("1.1.4"));
  EXPECT_EQ(log_.messages(kLogWarning).size(), 0u) << "one name left";
}

TEST_F(PackageFileTest, InvalidVersionTextIsRefusedWithoutWriting) {
  ScratchFolder::write(path_, onlyVersion("1.0.0"));
  EXPECT_FALSE(record("1.\xff.0"));
  EXPECT_EQ(ScratchFolder::read(path_), onlyVersion("1.0.0"));
  EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp"));
}

TEST_F(PackageFileTest, WriteFailuresKeepTheOldFileAndAnswerFalse) {
  const std::string failed = " Failed to open config file for writing: ";
  // A folder that does not exist: nothing is created.
  const std::string lost = folder_.file("missing/package.json");
  EXPECT_FALSE(PackageFile(log_.callback(), lost).recordFirmwareVersion("1.1.3"));
  EXPECT_TRUE(logged(kLogError, failed + lost));
  // An empty path must not drop a temporary file into the working folder.
  EXPECT_FALSE(PackageFile(log_.callback(), "").recordFirmwareVersion("1.1.3"));
  EXPECT_TRUE(logged(kLogError, failed));
  EXPECT_FALSE(std::filesystem::exists(".tmp"));

  // Something in the way of the temporary file.
  ScratchFolder::write(path_, onlyVersion("1.0.0"));
  std::filesystem::create_directory(path_ + ".tmp");
  EXPECT_FALSE(record("1.1.3"));
  EXPECT_TRUE(logged(kLogError, failed + path_));
  EXPECT_EQ(ScratchFolder::read(path_), onlyVersion("1.0.0"));
  EXPECT_TRUE(std::filesystem::is_directory(path_ + ".tmp"));
  std::filesystem::remove(path_ + ".tmp");

  // The disk fills up halfway through the write.
  log_.clear();
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit tiny = saved;
  tiny.rlim_cur = 8;
  const auto previous_handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &tiny);
  const bool result = record("1.1.3");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous_handler);
  EXPECT_FALSE(result);
  EXPECT_TRUE(logged(kLogError, failed + path_));
  EXPECT_EQ(ScratchFolder::read(path_), onlyVersion("1.0.0"));
  EXPECT_FALSE(std::filesystem::exists(path_ + ".tmp"));
}

}  // namespace
}  // namespace velk::zorv_comm
