// The start options text: an options file is handed over as written and
// has the last word; the scenario's options and device_info fill in only
// what it leaves out, as valid TOML of the types the extension takes.
#include "rocker-sim/command_line/start_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <toml.hpp>

#include "rocker-sim/command_line/input_error.h"
#include "tools/sim_workspace.h"

namespace {

using velk::rocker_sim::InputError;
using velk::rocker_sim::StartOptions;

toml::value parsed(const std::string& text) {
  std::istringstream in(text);
  return toml::parse(in, "text");
}

TEST(StartOptions, WithoutAFileTheScenarioAndDeviceInfoMakeTypedToml) {
  const StartOptions options("");
  const std::string text =
      options.text("127.0.0.1,1502", parsed("rotation = 1.0\ntool_x = -1\ncycle = 0.004\n"),
                   parsed("rotation = 2.5\n"));
  const toml::value v = parsed(text);
  EXPECT_EQ(v.at("device_info").as_string().str, "127.0.0.1,1502");
  // A whole-valued float must stay a float, or the extension ignores it.
  EXPECT_TRUE(v.at("rotation").is_floating());
  EXPECT_EQ(v.at("rotation").as_floating(), 2.5);  // the restart's value on top
  EXPECT_EQ(v.at("tool_x").as_integer(), -1);
  EXPECT_EQ(v.at("cycle").as_floating(), 0.004);
  EXPECT_EQ(parsed(options.text("a", parsed("rotation = 1.0\n"))).at("rotation").as_floating(),
            1.0);
}

TEST(StartOptions, TheFileIsHandedOverAsWrittenAndWinsOverTheScenario) {
  rocker_sim_test::SimWorkspace space;
  const std::string file_text = "# host configuration\nrotation = 0.25 # rad\n\n";
  const StartOptions options(space.write("options.toml", file_text));
  const std::string text =
      options.text("/dev/ttyS9,115200,N,8,1", parsed("rotation = 1.0\nacc = 2.0\n"));
  EXPECT_EQ(text.substr(text.size() - file_text.size()), file_text);
  const toml::value v = parsed(text);
  EXPECT_EQ(v.at("rotation").as_floating(), 0.25);
  EXPECT_EQ(v.at("acc").as_floating(), 2.0);
  EXPECT_EQ(v.at("device_info").as_string().str, "/dev/ttyS9,115200,N,8,1");
  const auto notes = options.notes("x", parsed("rotation = 1.0\n"));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("\"rotation\""), std::string::npos);
}

TEST(StartOptions, AFileThatSetsDeviceInfoKeepsItAndWrongTypesAreNamed) {
  rocker_sim_test::SimWorkspace space;
  const StartOptions options(
      space.write("options.toml", "device_info = \"10.0.0.7,502\"\ncycle = 1\ndebug = true\n"));
  EXPECT_TRUE(options.fileSetsDeviceInfo());
  EXPECT_EQ(parsed(options.text("127.0.0.1,1502", parsed(""))).at("device_info").as_string().str,
            "10.0.0.7,502");
  const auto notes = options.notes("127.0.0.1,1502", parsed(""));
  ASSERT_EQ(notes.size(), 3u);
  std::string all;
  for (const auto& note : notes) all += note;
  EXPECT_NE(all.find("\"cycle\" only as a float"), std::string::npos) << all;
  EXPECT_NE(all.find("\"debug\" only as an integer"), std::string::npos) << all;
  EXPECT_NE(all.find("will not talk to 127.0.0.1,1502"), std::string::npos) << all;
}

TEST(StartOptions, StringsAreEscapedIntoValidToml) {
  const StartOptions options("");
  const std::string awkward = "C:\\ports\\\"com3\"\t";
  EXPECT_EQ(parsed(options.text(awkward, parsed(""))).at("device_info").as_string().str, awkward);
}

TEST(StartOptions, AnUnreadableFileOrOneWithAnUnknownKeyIsRefused) {
  EXPECT_THROW(StartOptions("/no/such/options.toml"), InputError);
  rocker_sim_test::SimWorkspace space;
  for (const char* text : {"rotaton = 1.0\n", "cycle = 0.01\n[extra]\nrotation = 9\n"}) {
    try {
      StartOptions options(space.write("options.toml", text));
      ADD_FAILURE() << "accepted: " << text;
    } catch (const InputError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("unknown start option"), std::string::npos) << message;
      EXPECT_NE(message.find("options.toml"), std::string::npos) << message;
    }
  }
}

}  // namespace
