// Start options as the host writes them: typed TOML keys with defaults.
#include "bundle_activator/start_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <toml.hpp>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "bundle_activator/package_file_path.h"

namespace {

using velk::zorv_comm::StartOptions;

// A missing key, one of another TOML type and one below the top level all
// give the default.
TEST(StartOptionsTest, KeysMissingOrOfAnotherTypeGiveTheDefaultSilently) {
  for (const char* text :
       {"", "[rocker]\ncycle = 0.5\ntool_x = 3\n",
        "cycle = 1\ntool_x = 1.0\ntool_y = \"3\"\ndebug = true\ndevice_info = 5\nacc = \"2\"\n"
        "rotation = 45\npose_speed_fast = [0.3]\ninput_timeout = 1\n"}) {
    SCOPED_TRACE(text);
    const StartOptions o = StartOptions::parse(text);
    EXPECT_EQ(o.periodMicroseconds(), 10000u);
    EXPECT_EQ(o.device_info, "/dev/ttyUSB0,115200,N,8,1");
    EXPECT_EQ(o.tool_x, 1);
    EXPECT_EQ(o.tool_y, 2);
    EXPECT_EQ(o.tool_z, 3);
    EXPECT_DOUBLE_EQ(o.ori_velc, 0.005);
    EXPECT_DOUBLE_EQ(o.acc, 1.0);
    EXPECT_EQ(o.debug, 0);
    EXPECT_DOUBLE_EQ(o.rotation, 0.0);
    EXPECT_DOUBLE_EQ(o.pose_speed_fast, 0.1);
    EXPECT_DOUBLE_EQ(o.pose_speed_slow, 0.01);
    EXPECT_DOUBLE_EQ(o.input_timeout, 0.3);
    EXPECT_FALSE(o.jog_follow);
  }
  EXPECT_FALSE(StartOptions::parse("jog_follow = 1").jog_follow) << "an integer is no boolean";
}

TEST(StartOptionsTest, ValuesOfTheirExactTypeAreTaken) {
  const StartOptions o = StartOptions::parse(
      "cycle = 0.02\ndevice_info = \"127.0.0.1,1502\"\ntool_x = -2\ntool_y = 3\ntool_z = 1\n"
      "ori_velc = 0.5\nacc = 2.5\ndebug = 2\nrotation = 90.0\npose_speed_fast = 0.2\n"
      "pose_speed_slow = 0.02\ninput_timeout = 0.0\njog_follow = true\nunknown = \"ignored\"\n");
  EXPECT_EQ(o.periodMicroseconds(), 20000u);
  EXPECT_EQ(o.device_info, "127.0.0.1,1502");
  EXPECT_EQ(o.tool_x, -2);
  EXPECT_EQ(o.tool_y, 3);
  EXPECT_EQ(o.tool_z, 1);
  EXPECT_DOUBLE_EQ(o.ori_velc, 0.5);
  EXPECT_DOUBLE_EQ(o.acc, 2.5);
  EXPECT_EQ(o.debug, 2);
  EXPECT_DOUBLE_EQ(o.rotation, 90.0);
  EXPECT_DOUBLE_EQ(o.pose_speed_fast, 0.2);
  EXPECT_DOUBLE_EQ(o.pose_speed_slow, 0.02);
  EXPECT_DOUBLE_EQ(o.input_timeout, 0.0);
  EXPECT_TRUE(o.jog_follow);
  EXPECT_TRUE(o.inputTimeoutIsUsable()) << "0 switches the age check off";
}

// Cut to 32 bits, 4294967302 would be 6 and switch six-axis jogging on.
TEST(StartOptionsTest, IntegersBeyond32BitsAreNotNarrowed) {
  const StartOptions o = StartOptions::parse(
      "tool_x = 4294967298\ntool_y = 2147483648\ntool_z = -1\ndebug = 4294967297\n"
      "jog_axes = 4294967302\nstick_limit = -2147483648\n");
  EXPECT_EQ(o.tool_x, 1);
  EXPECT_EQ(o.tool_y, 2);
  EXPECT_EQ(o.tool_z, -1);
  EXPECT_EQ(o.debug, 0);
  EXPECT_EQ(o.jog_axes, 3);
  EXPECT_EQ(o.stick_limit, INT_MIN);
  EXPECT_EQ(o.integers_beyond_int.size(), 4u);
}

// The period is truncated, not rounded; one the task thread cannot run with
// gives the default.
TEST(StartOptionsTest, PeriodIsTruncatedOrTheDefault) {
  const std::pair<const char*, unsigned int> rows[] = {
      {"cycle = 0.004", 4000}, {"cycle = 0.00397", 3969}, {"cycle = 0.0123456789", 12345},
      {"cycle = 0.000001", 1}, {"cycle = 0.0", 10000},    {"cycle = -0.01", 10000},
      {"cycle = 1e-7", 10000}, {"cycle = inf", 10000},    {"cycle = -inf", 10000},
      {"cycle = nan", 10000},  {"cycle = 5000.0", 10000}};
  for (const auto& [text, period] : rows) {
    const StartOptions o = StartOptions::parse(text);
    EXPECT_EQ(o.cycleIsUsable(), period != 10000u) << text;
    EXPECT_EQ(o.periodMicroseconds(), period) << text;
  }
  EXPECT_TRUE(StartOptions::parse("cycle = 4000.0").cycleIsUsable());
  // An age bound that would stop every jog, or none, is no bound.
  for (const char* text : {"input_timeout = -0.1", "input_timeout = nan", "input_timeout = inf"}) {
    EXPECT_FALSE(StartOptions::parse(text).inputTimeoutIsUsable()) << text;
  }
}

// What would reach the robot unchecked is replaced by its default, with one
// warning naming the key, the value given and the value used.
TEST(StartOptionsTest, ScreenReplacesValuesOutOfRangeAndNamesUnknownKeys) {
  const auto outOfRange = [](const char* key, const char* fallback, const char* given) {
    return std::string("Rocker ") + key + " out of range, using the default " + fallback +
           " instead of: " + given;
  };
  // The axis mapping is refused whole.
  const auto axesOutOfRange = [&](const char* given) {
    return outOfRange("tool_x, tool_y, tool_z", "1, 2, 3", given) +
           " (each one of ±1, ±2, ±3, and every stick axis once)";
  };
  const struct {
    const char* text;
    std::string warning;
  } rows[] = {
      {"cycle = 2.0", outOfRange("cycle", "0.01", "2")},
      {"cycle = nan", outOfRange("cycle", "0.01", "nan")},
      {"pose_speed_fast = nan", outOfRange("pose_speed_fast", "0.1", "nan")},
      {"pose_speed_fast = -0.1", outOfRange("pose_speed_fast", "0.1", "-0.1")},
      {"pose_speed_slow = 0.0", outOfRange("pose_speed_slow", "0.01", "0")},
      {"acc = inf", outOfRange("acc", "1", "inf")},
      {"ori_velc = -1.0", outOfRange("ori_velc", "0.005", "-1")},
      {"rotation = 90.0", outOfRange("rotation", "0", "90")},
      {"rotation = nan", outOfRange("rotation", "0", "nan")},
      {"input_timeout = -0.1", outOfRange("input_timeout", "0.3", "-0.1")},
      {"max_speed = 0.0", outOfRange("max_speed", "0.25", "0")},
      {"stick_limit = 0", outOfRange("stick_limit", "2000", "0")},
      {"stick_limit = 40000", outOfRange("stick_limit", "2000", "40000")},
      {"jog_axes = 4", outOfRange("jog_axes", "3", "4")},
      {"stick_rate = 60", outOfRange("stick_rate", "10", "60")},
      {"max_angular_speed = -1.0", outOfRange("max_angular_speed", "0.5", "-1")},
      {"pose_speed_fats = 0.2", "Rocker unknown start option: pose_speed_fats (ignored)"},
      // No option lifts the reduced speed; a slip of units is refused.
      {"max_speed = 1000.0", outOfRange("max_speed", "0.25", "1000")},
      {"max_speed = 0.26", outOfRange("max_speed", "0.25", "0.26")},
      {"max_angular_speed = 1000.0", outOfRange("max_angular_speed", "0.5", "1000")},
      {"pose_speed_fast = 1e9", outOfRange("pose_speed_fast", "0.1", "1e+09")},
      {"pose_speed_slow = 10.0", outOfRange("pose_speed_slow", "0.01", "10")},
      {"ori_velc = 17.2", outOfRange("ori_velc", "0.005", "17.2")},
      {"input_timeout = 1e9", outOfRange("input_timeout", "0.3", "1e+09")},
      {"stick_limit = 32767", outOfRange("stick_limit", "2000", "32767")},
      {"jog_axes = 4294967302", outOfRange("jog_axes", "3", "4294967302")},
      {"debug = 4294967296", outOfRange("debug", "0", "4294967296")},
      {"tool_x = 1\ntool_y = 1\ntool_z = 1", axesOutOfRange("1, 1, 1")},
      {"tool_x = 0", axesOutOfRange("0, 2, 3")},
      {"tool_x = -2\ntool_y = 2\ntool_z = -4", axesOutOfRange("-2, 2, -4")},
      {"tool_y = 4294967298", axesOutOfRange("1, 4294967298, 3")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    StartOptions o = StartOptions::parse(row.text);
    EXPECT_EQ(o.screen(), std::vector<std::string>{row.warning});
    EXPECT_TRUE(o.screen().empty()) << "screened values are in range";
  }
  StartOptions fine = StartOptions::parse(
      "cycle = 0.1\nrotation = -6.28\nmax_speed = 0.25\nstick_limit = 32000\ninput_timeout = 1.0\n"
      "jog_axes = 6\npose_speed_fast = 1.0\nori_velc = 2.0\nmax_angular_speed = 0.5\n"
      "tool_x = -3\ntool_y = 1\ntool_z = -2\ndebug = -2147483648\n");
  EXPECT_TRUE(fine.screen().empty());
  EXPECT_EQ(fine.stick_limit, 32000);
  EXPECT_EQ(fine.tool_x, -3);
  EXPECT_EQ(fine.tool_z, -2);
}

// Settings that bypass the screen, handed to the service directly, still
// cannot lift the reduced speed.
TEST(StartOptionsTest, TheServiceBoundsHoldWithoutTheScreen) {
  velk::zorv_comm::RockerSettings settings;
  for (double speed : {1000.0, 0.6, 0.0, -1.0, std::nan(""), HUGE_VAL}) {
    settings.max_speed = speed;
    settings.max_angular_speed = speed;
    EXPECT_EQ(settings.boundedMaxSpeed(), 0.25) << speed;
    EXPECT_EQ(settings.boundedMaxAngularSpeed(), 0.5) << speed;
  }
  settings.max_speed = 0.1;
  EXPECT_EQ(settings.boundedMaxSpeed(), 0.1);
}

TEST(StartOptionsTest, InvalidTomlRaisesAnErrorNamingTheConfigSource) {
  try {
    StartOptions::parse("cycle = \n");
    FAIL() << "a syntax error must be raised";
  } catch (const toml::syntax_error& e) {
    EXPECT_NE(std::string(e.what()).find("config"), std::string::npos) << e.what();
  }
}

// The screen in front of the parser refuses only what the parser cannot take
// safely: valid UTF-8 anywhere and brackets inside strings or comments pass.
TEST(StartOptionsTest, ScreenPassesValidTextThatLooksDeep) {
  const std::string deepInString(200, '[');
  const StartOptions o = StartOptions::parse(
      "# [[[[ 摇杆 {{{{\n"
      "device_info = \"192.168.1.10,502," +
      deepInString +
      "\"\n"
      "x = '''\n{{{{{{ ''' \n"
      "y = \"\\\" [[[[\"\n"
      "z = '设备' # ]]]]\n");
  EXPECT_EQ(o.device_info, "192.168.1.10,502," + deepInString);
}

std::string nestedArrays(int depth) {
  return "a = " + std::string(static_cast<std::size_t>(depth), '[') + "1" +
         std::string(static_cast<std::size_t>(depth), ']') + "\n";
}

TEST(StartOptionsTest, ScreenRefusesDeepNestingAndBrokenUtf8AsSyntaxErrors) {
  EXPECT_NO_THROW(StartOptions::parse(nestedArrays(64)));
  EXPECT_THROW(StartOptions::parse(nestedArrays(65)), toml::syntax_error);
  // Truncated sequence, overlong '/', a surrogate, above U+10FFFF, a stray
  // continuation byte.
  for (const char* bad : {"a = '\xe6\x91'\n", "a = '\xc0\xaf'\n", "a = '\xed\xa0\x80'\n",
                          "a = '\xf4\x90\x80\x80'\n", "# \x80\n"}) {
    try {
      StartOptions::parse(bad);
      ADD_FAILURE() << "accepted " << ::testing::PrintToString(std::string(bad));
    } catch (const toml::syntax_error& e) {
      EXPECT_NE(std::string(e.what()).find("config"), std::string::npos) << e.what();
    }
  }
}

// A start option as README.md's table shows it: type, unit, allowed values
// and default.
using Row = std::array<std::string, 4>;

std::vector<std::string> split(const std::string& text, const std::string& by) {
  std::vector<std::string> parts;
  for (std::size_t begin = 0;;) {
    const std::size_t end = text.find(by, begin);
    parts.push_back(text.substr(begin, end - begin));
    if (end == std::string::npos) return parts;
    begin = end + by.size();
  }
}

// The rows of README.md's table by key, backticks dropped and "−" read as
// "-"; a row of several keys gives each its own default.
std::map<std::string, Row> readmeOptions() {
  std::ifstream in(ROCKER_README);
  std::string line;
  while (std::getline(in, line) && line != "## Start options") {
  }
  std::map<std::string, Row> rows;
  while (std::getline(in, line) && (rows.empty() || line.rfind("| `", 0) == 0)) {
    if (line.rfind("| `", 0) != 0) continue;
    line = std::regex_replace(line, std::regex("`"), "");
    line = std::regex_replace(line, std::regex(" *\\| *"), "|");
    line = std::regex_replace(line, std::regex("\xe2\x88\x92"), "-");
    const std::vector<std::string> cells = split(line, "|");
    const std::vector<std::string> keys = split(cells.at(1), ", ");
    const std::vector<std::string> defaults = split(cells.at(5), ", ");
    for (std::size_t i = 0; i < keys.size(); ++i) {
      rows[keys[i]] = {cells.at(2), cells.at(3), cells.at(4),
                       keys.size() == defaults.size() ? defaults[i] : cells.at(5)};
    }
  }
  return rows;
}

// 0.000001, 0.1, 32767; multiples of pi as "2π".
std::string decimal(double value) {
  const double turns = value / M_PI;
  if (value != 0 && turns == std::round(turns)) {
    return std::to_string(static_cast<int>(turns)) + "π";
  }
  std::ostringstream text;
  text << std::fixed << std::setprecision(9) << value;
  std::string digits = text.str();
  digits.erase(digits.find_last_not_of('0') + 1);
  if (digits.back() == '.') digits.pop_back();
  return digits;
}

// Choices that come in pairs of opposite sign as "±1 or ±2".
std::string choicesOf(const StartOptions::Key& key) {
  const auto& all = key.choices;
  const bool paired = std::all_of(all.begin(), all.end(), [&](double choice) {
    return std::find(all.begin(), all.end(), -choice) != all.end();
  });
  std::string choices;
  for (double choice : all) {
    if (paired && choice < 0) continue;
    choices += (choices.empty() ? "" : " or ") + (paired ? "±" : std::string()) + decimal(choice);
  }
  return choices;
}

std::string allowed(const StartOptions::Key& key) {
  if (key.type == toml::value_t::boolean) return "true or false";
  const std::string choices = choicesOf(key);
  if (!choices.empty()) return choices;
  if (key.low == -HUGE_VAL && key.high == HUGE_VAL) return "any";
  if (key.high == HUGE_VAL) {
    return key.low_excluded ? "above " + decimal(key.low) : decimal(key.low) + " or more";
  }
  if (key.low_excluded) return "above " + decimal(key.low) + ", at most " + decimal(key.high);
  return decimal(key.low) + " .. " + decimal(key.high);
}

// Floats as TOML writes them: 1.0, not 1.
std::string fallback(const StartOptions::Key& key) {
  const StartOptions defaults;
  return std::visit(
      [&](auto member) -> std::string {
        const auto& value = defaults.*member;
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>) {
          return value;
        } else if constexpr (std::is_same_v<std::decay_t<decltype(value)>, bool>) {
          return value ? "true" : "false";
        } else if constexpr (std::is_floating_point_v<std::decay_t<decltype(value)>>) {
          const std::string text = decimal(value);
          return text.find('.') == std::string::npos ? text + ".0" : text;
        } else {
          return std::to_string(value);
        }
      },
      key.member);
}

TEST(StartOptionsTest, TheReadmeTableListsEveryOptionAsTheCodeTakesIt) {
  std::map<std::string, Row> readme = readmeOptions();
  ASSERT_FALSE(readme.empty()) << "no options table in " << ROCKER_README;
  for (const StartOptions::Key& key : StartOptions::keys()) {
    const char* type = key.type == toml::value_t::floating  ? "float"
                       : key.type == toml::value_t::integer ? "integer"
                       : key.type == toml::value_t::boolean ? "boolean"
                                                            : "string";
    EXPECT_EQ(readme[key.name], (Row{type, key.unit, allowed(key), fallback(key)})) << key.name;
    readme.erase(key.name);
  }
  for (const auto& [name, row] : readme) ADD_FAILURE() << "README.md names no option: " << name;
}

// The package file lies under HOME as written, under /root without one.
TEST(PackageFilePathTest, FollowsHomeAsWrittenAndUsesRootWithoutIt) {
  const char* home = std::getenv("HOME");
  const std::optional<std::string> saved = home ? std::optional<std::string>(home) : std::nullopt;
  const auto pathWith = [](const char* value) {
    value ? setenv("HOME", value, 1) : unsetenv("HOME");
    return velk::zorv_comm::packageFilePath();
  };
  EXPECT_EQ(pathWith("/home/operator"), "/home/operator/velk_ws/extensions/rocker/package.json");
  EXPECT_EQ(pathWith("/home/operator/"), "/home/operator//velk_ws/extensions/rocker/package.json");
  EXPECT_EQ(pathWith(nullptr), "/root/velk_ws/extensions/rocker/package.json");
  pathWith(saved ? saved->c_str() : nullptr);  // the test program's own HOME again
}

}  // namespace
