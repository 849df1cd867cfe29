#include "common/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/base_class_statics.h"
#include "common/log_level.h"

namespace {

struct Entry {
  int level;
  std::string file;
  int line;
  std::string msg;
};

struct Recorder {
  std::vector<Entry> entries;
  velk::LogCallback callback() {
    return [this](int level, const char* file, int line, const std::string& msg) {
      entries.push_back({level, file, line, msg});
    };
  }
};

TEST(LogSink, StatementThatWritesNothingMakesNoCall) {
  Recorder rec;
  { VELK_LOG(rec.callback(), velk::kLogInfo); }
  { VELK_LOG(rec.callback(), velk::kLogInfo) << ""; }
  EXPECT_TRUE(rec.entries.empty());
}

TEST(LogSink, StreamFormCarriesLevelBaseNameAndLine) {
  Recorder rec;
  const int line = __LINE__ + 1;
  VELK_LOG(rec.callback(), velk::kLogWarning) << "rocker version: "
                                              << "0.3.0" << ' ' << 7 << 2.5;
  ASSERT_EQ(rec.entries.size(), 1u);
  EXPECT_EQ(rec.entries[0].level, velk::kLogWarning);
  EXPECT_EQ(rec.entries[0].file, "log_test.cpp");
  EXPECT_EQ(rec.entries[0].line, line);
  EXPECT_EQ(rec.entries[0].msg, "rocker version: 0.3.0 72.5");
}

TEST(LogSink, FormatFormKeepsMarksAndSeparatesValuesBySingleSpaces) {
  Recorder rec;
  VELK_LOGF(rec.callback(), velk::kLogInfo, "Modbus device {}:{} closed. ", "127.0.0.1", 1502);
  VELK_LOGF(rec.callback(), velk::kLogError, "Set Modbus signal {} result failed, ret:{} ", "sig",
            -2);
  VELK_LOGF(rec.callback(), velk::kLogWarning,
            "Unkown errno({}): {}. Assume modbus unit disconnected", 104,
            "Connection reset by peer");
  VELK_LOGF(rec.callback(), velk::kLogError, "modbus no init !");
  ASSERT_EQ(rec.entries.size(), 4u);
  EXPECT_EQ(rec.entries[0].msg, "Modbus device {}:{} closed. 127.0.0.1 1502");
  EXPECT_EQ(rec.entries[1].msg, "Set Modbus signal {} result failed, ret:{} sig -2");
  EXPECT_EQ(rec.entries[2].msg,
            "Unkown errno({}): {}. Assume modbus unit disconnected104 Connection reset by peer");
  EXPECT_EQ(rec.entries[3].msg, "modbus no init !");
}

TEST(LogSink, EmbeddedNewlinesArriveAsOneCall) {
  Recorder rec;
  VELK_LOG(rec.callback(), velk::kLogInfo) << "Start rocker. Options: \n"
                                           << "cycle = 0.01\nacc = 1.0";
  ASSERT_EQ(rec.entries.size(), 1u);
  EXPECT_EQ(rec.entries[0].msg, "Start rocker. Options: \ncycle = 0.01\nacc = 1.0");
}

TEST(LogSink, TwoStatementsGiveTwoCallsWithTheirOwnPlaces) {
  Recorder rec;
  VELK_LOG(rec.callback(), velk::kLogDebug) << "a";
  VELK_LOG(rec.callback(), velk::kLogError) << "b";
  ASSERT_EQ(rec.entries.size(), 2u);
  EXPECT_EQ(rec.entries[0].level, velk::kLogDebug);
  EXPECT_EQ(rec.entries[1].level, velk::kLogError);
  EXPECT_EQ(rec.entries[1].line, rec.entries[0].line + 1);
}

TEST(LogSink, PendingTextIsDeliveredWhenAStatementIsLeftByAnException) {
  Recorder rec;
  auto fails = []() -> int { throw 42; };
  try {
    VELK_LOG(rec.callback(), velk::kLogInfo) << "before " << fails();
  } catch (int) {
  }
  ASSERT_EQ(rec.entries.size(), 1u);
  EXPECT_EQ(rec.entries[0].msg, "before ");
}

TEST(LogSink, EmptyCallbackFallsBackToTheDefaultHandlerOnStderr) {
  testing::internal::CaptureStderr();
  velk::Log(velk::LogCallback()).at(velk::kLogInfo, "x.cpp", 155) << "abc";
  velk::Log(velk::LogCallback()).at(velk::kLogError, "y.cpp", 1) << "line1\nline2";
  velk::Log(velk::LogCallback()).at(9, "z.cpp", 2) << "odd level";
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "[Info] [x.cpp:155] abc\n"
            "[Error] [y.cpp:1] line1\nline2\n"
            "[Unknown] [z.cpp:2] odd level\n");
}

TEST(LogSink, DefaultHandlerNamesEveryLevel) {
  const char* const* names = velk::BaseClass_statics<void>::level_names;
  EXPECT_STREQ(names[0], "Critical");
  EXPECT_STREQ(names[5], "BackTrace");
  EXPECT_TRUE(static_cast<bool>(velk::BaseClass_statics<void>::log_handler));
}

TEST(LogSink, BaseNameOfPaths) {
  static_assert(velk::fileBaseName("a/b/c.cpp")[0] == 'c');
  EXPECT_STREQ(velk::fileBaseName("/x/y/modbus_device.cpp"), "modbus_device.cpp");
  EXPECT_STREQ(velk::fileBaseName("plain.cpp"), "plain.cpp");
  EXPECT_STREQ(velk::fileBaseName("dir/"), "");
}

}  // namespace
