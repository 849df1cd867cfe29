#include "reliability/fault_test_fixture.h"

#include <cstdlib>
#include <iostream>

namespace rocker_reliability {

void FaultTestFixture::startJogging(const std::string& device_info,
                                    velk::joystick_sim::ModbusSlave& joystick) {
  rig_.start(device_info);
  ASSERT_TRUE(rig_.switchJoggingOn(joystick)) << rig_.logSince(0);
  ASSERT_TRUE(rig_.startJog(joystick)) << rig_.logSince(0);
  mark_ = rig_.logMark();
  marked_ = Clock::now();
}

void FaultTestFixture::expectStopWithin(Clock::time_point injected, std::chrono::milliseconds bound,
                                        const std::string& figure) {
  const auto latency = rig_.stopLatencySince(injected);
  ASSERT_TRUE(latency.has_value()) << "no stop command after the fault\n" << rig_.logSince(0);
  report(figure, *latency);
  EXPECT_LE(*latency, scaled(std::chrono::duration_cast<Clock::duration>(bound)));
}

void FaultTestFixture::expectNoFlood(std::size_t mark, Clock::time_point since) {
  const double seconds = std::chrono::duration<double>(Clock::now() - since).count();
  const int limit = 3 + static_cast<int>(2 * seconds);
  if (std::getenv("ROCKER_RELIABILITY_LOG") != nullptr) std::cout << rig_.logSince(mark);
  const auto most = rig_.mostFrequentSince(mark);
  EXPECT_LE(most.second, limit) << "\"" << most.first << "\" repeated " << most.second << " times\n"
                                << rig_.logSince(mark);
}

void FaultTestFixture::report(const std::string& figure, Clock::duration d) {
  std::cout << "[figure] " << figure << ": " << millisecondsOf(d) << " ms" << std::endl;
}

}  // namespace rocker_reliability
