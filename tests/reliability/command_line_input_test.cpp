// Hostile argument lists for the command interface of the loaded bundle.
// Any other action word than "action1" is answered with 1; otherwise the
// answer is 0 or the option parser's own error, with nothing written then.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host/common_interface/zorv_control_extension.h"
#include "host_rig/bundle_host.h"
#include "reliability/child_outcome.h"

namespace rocker_reliability {

using velk::host_rig::BundleHost;
namespace {

enum class Answer { kNotMine, kDone, kRefused };
// Where the option parser's handling of a word is its own business: either
// answer is sound, as long as it is one of them.
constexpr bool kParserDecides = true;

struct ArgsCase {
  const char* name;
  std::vector<std::string> args;
  Answer expected;
  bool parser_decides = false;
};

std::vector<std::string> actionWith(std::size_t copies, const std::string& arg) {
  std::vector<std::string> args(copies + 1, arg);
  args.front() = "action1";
  return args;
}

Answer ask(BundleHost& rocker, std::vector<std::string> args, std::string& out_text) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::ostringstream out;
  try {
    const int result =
        rocker.extension().parseCmdLine(static_cast<int>(args.size()), argv.data(), out);
    out_text = out.str();
    return result == 1 ? Answer::kNotMine : Answer::kDone;
  } catch (const std::exception&) {
    out_text = out.str();
    return Answer::kRefused;
  }
}

TEST(CommandLineInputTest, HostileArgumentListsAreAnsweredWithoutCrashing) {
  const std::string huge(1 << 20, 'h');
  const std::vector<ArgsCase> cases = {
      {"other action", {"action2", "--help"}, Answer::kNotMine},
      {"action with a blank", {"action1 ", "-h"}, Answer::kNotMine},
      {"empty action", {"", "-h"}, Answer::kNotMine},
      {"huge action", {huge}, Answer::kNotMine},
      {"action alone", {"action1"}, Answer::kDone},
      {"unknown option", {"action1", "--bogus"}, Answer::kRefused},
      {"positional word", {"action1", "extra"}, Answer::kRefused, kParserDecides},
      {"boolean with a value", {"action1", "--version=maybe"}, Answer::kRefused},
      {"not utf-8", {"action1", "--\xff\xfe"}, Answer::kRefused},
      {"empty argument", {"action1", ""}, Answer::kRefused, kParserDecides},
      {"lone dash", {"action1", "-"}, Answer::kRefused, kParserDecides},
      {"double dash", {"action1", "--", "-h"}, Answer::kRefused, kParserDecides},
      {"grouped flags", {"action1", "-vc"}, Answer::kDone},
      {"repeated flag", actionWith(1000, "-v"), Answer::kDone},
      {"repeated help", actionWith(1000, "--help"), Answer::kDone},
  };
  BundleHost rocker(ROCKER_BUNDLE_PATH);
  for (const auto& c : cases) {
    std::string out;
    const Answer answer = ask(rocker, c.args, out);
    if (c.parser_decides) {
      EXPECT_NE(answer, Answer::kNotMine) << c.name;
    } else {
      EXPECT_EQ(answer, c.expected) << c.name;
    }
    if (answer != Answer::kDone) {
      EXPECT_EQ(out, "") << c.name;
    }
  }
}

// The option parser matches each argument with a regular expression whose
// matcher recurses once per character: a long enough argument overflows the
// host thread's stack. Such an argument is an undeclared option and must be
// refused like any other.
TEST(CommandLineInputTest, HugeArgumentsAreRefusedWithoutCrashing) {
  const std::string huge(60000, 'h');
  const std::vector<ArgsCase> cases = {
      {"huge long option", {"action1", "--" + huge}, Answer::kRefused},
      {"huge short options", {"action1", "-" + huge}, Answer::kRefused},
      {"huge word", {"action1", huge}, Answer::kRefused, kParserDecides},
  };
  for (const auto& c : cases) {
    const ChildOutcome outcome = ChildOutcome::of(
        [&] {
          BundleHost rocker(ROCKER_BUNDLE_PATH);
          std::string out;
          const Answer answer = ask(rocker, c.args, out);
          if (!out.empty()) return 9;
          return static_cast<int>(answer);
        },
        // Refusing takes microseconds; a child still matching after this
        // long is as good as hung.
        10);
    EXPECT_TRUE(outcome.exited()) << c.name << ": " << outcome.describe();
    if (!outcome.exited()) continue;
    if (c.parser_decides) {
      EXPECT_NE(outcome.exitCode(), static_cast<int>(Answer::kNotMine)) << c.name;
      EXPECT_NE(outcome.exitCode(), 9) << c.name;
    } else {
      EXPECT_EQ(outcome.exitCode(), static_cast<int>(c.expected)) << c.name;
    }
  }
}

TEST(CommandLineInputTest, NoArgumentsAtAllAreNotTheCommandsToAnswer) {
  BundleHost rocker(ROCKER_BUNDLE_PATH);
  char* none[] = {nullptr};
  std::ostringstream out;
  EXPECT_EQ(rocker.extension().parseCmdLine(0, none, out), 1);
  EXPECT_EQ(rocker.extension().parseCmdLine(0, nullptr, out), 1);
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace rocker_reliability
