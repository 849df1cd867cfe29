// The host's classes are declared by us (src/host), from what the bundle
// calls; the controller's SDK defines them. A declaration changed unnoticed
// gives a bundle that links here and fails, or worse, runs wrongly, on the
// controller. What the bundle needs of the host is pinned here: the host
// symbols the built library leaves undefined, and the size of the one host
// object it allocates itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bundle/bundle_file.h"
#include "host/kelmi/periodic_thread.h"

namespace {

// make_shared<PeriodicThread> allocates the size our declaration gives and
// the controller's constructor fills the size its own gives: the two must be
// the same. Our declaration holds one pointer to the thread's state.
static_assert(sizeof(velk::kelmi::PeriodicThread) == sizeof(void*),
              "the bundle allocates PeriodicThread: its size must match the controller's SDK");
static_assert(alignof(velk::kelmi::PeriodicThread) == alignof(void*),
              "the bundle allocates PeriodicThread: its alignment must match the controller's SDK");

// The undefined symbols of the host's namespaces, demangled and sorted. The
// sanitizers add undefined symbols of their own, which are left out.
std::vector<std::string> hostSymbolsOfTheBundle() {
  const auto nm = rocker_test::runCommand(std::string(ROCKER_NM) + " -D -C --undefined-only '" +
                                          ROCKER_BUNDLE_PATH + "'");
  EXPECT_EQ(nm.status, 0);
  std::vector<std::string> symbols;
  std::istringstream lines(nm.output);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find("velk::");
    if (at == std::string::npos) continue;
    const std::string symbol = line.substr(at);
    if (symbol.rfind("velk::common_interface::", 0) == 0 || symbol.rfind("velk::kelmi::", 0) == 0) {
      symbols.push_back(symbol);
    }
  }
  std::sort(symbols.begin(), symbols.end());
  return symbols;
}

std::vector<std::string> committedList() {
  std::ifstream in(ROCKER_HOST_SYMBOLS);
  std::vector<std::string> symbols;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) symbols.push_back(line);
  }
  return symbols;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A call added, dropped or changed in its parameters changes this list. If
// the change is meant, check it against the controller's SDK, then write the
// list printed below into tests/bundle/host_symbols.txt.
TEST(HostDeclarationsTest, TheBundleCallsExactlyTheCommittedHostSymbols) {
  const std::vector<std::string> committed = committedList();
  ASSERT_FALSE(committed.empty()) << "cannot read " << ROCKER_HOST_SYMBOLS;
  EXPECT_TRUE(std::is_sorted(committed.begin(), committed.end()));
  const std::vector<std::string> built = hostSymbolsOfTheBundle();
  EXPECT_EQ(built, committed) << "host symbols of " << ROCKER_BUNDLE_PATH << ":\n" << joined(built);
}

}  // namespace
