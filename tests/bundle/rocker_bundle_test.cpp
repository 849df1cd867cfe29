// librocker.so loaded the way a host loads it: through the framework and
// dlopen, its service found by interface and driven against the simulated
// robot and the simulated joystick on loopback TCP.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cppmicroservices/Any.h"
#include "cppmicroservices/Bundle.h"
#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/Framework.h"
#include "cppmicroservices/FrameworkFactory.h"
#include "cppmicroservices/ServiceReferenceBase.h"
#include "host/common_interface/zorv_control_extension.h"
#include "host_rig/bundle_host.h"
#include "host_rig/host_home.h"
#include "host_rig/log_sink.h"
#include "host_rig/rig_timing.h"
#include "host_rig/thread_probe.h"
#include "joystick_sim/simulated_joystick.h"
#include "robot_sim/simulated_robot.h"

namespace {

using velk::common_interface::ZorvControlExtension;
using velk::host_rig::ThreadProbe;
using velk::host_rig::timing::waitFor;
using namespace std::chrono_literals;

// A service property of the expected type, or a test failure. The pointer
// form of any_cast: the stock framework's by-value form dereferences after a
// throwing helper that is not marked noreturn, which GCC reports under
// -Wnull-dereference once inlined here, system header or not.
template <class T>
T property(const cppmicroservices::ServiceReferenceBase& ref, const std::string& key) {
  const cppmicroservices::Any value = ref.GetProperty(key);
  const T* typed = cppmicroservices::any_cast<T>(&value);
  if (typed == nullptr) {
    ADD_FAILURE() << "property " << key << " holds " << value.Type().name();
    return T{};
  }
  return *typed;
}

class RockerBundleTest : public ::testing::Test {
 protected:
  velk::host_rig::HostHome home_;
};

TEST_F(RockerBundleTest, RegistersTheExtensionWithItsProperties) {
  auto framework = cppmicroservices::FrameworkFactory().NewFramework();
  framework.Start();
  auto context = framework.GetBundleContext();
  auto bundles = context.InstallBundles(ROCKER_BUNDLE_PATH);
  ASSERT_EQ(bundles.size(), 1u);
  // Named by its resource folder, not by the manifest's "zorv_comm".
  EXPECT_EQ(bundles[0].GetSymbolicName(), "rocker");
  bundles[0].Start();

  auto ref = context.GetServiceReference<ZorvControlExtension>();
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref.GetInterfaceId(), "velk::common_interface::ZorvControlExtension");
  auto keys = ref.GetPropertyKeys();
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"Name", "VendorName", "Version", "objectclass",
                                            "service.id", "service.scope"}));
  EXPECT_EQ(property<std::string>(ref, "Name"), "rocker");
  EXPECT_EQ(property<std::string>(ref, "VendorName"), "zorv");
  EXPECT_EQ(property<int>(ref, "Version"), 0);
  EXPECT_EQ(property<std::vector<std::string>>(ref, "objectclass"),
            std::vector<std::string>{"velk::common_interface::ZorvControlExtension"});
  EXPECT_EQ(bundles[0].GetRegisteredServices().size(), 1u);

  // The command interface answers through the loaded library as well.
  auto extension = context.GetService(ref);
  ASSERT_NE(extension, nullptr);
  std::ostringstream out;
  std::string action = "action1";
  std::string help = "-h";
  char* argv[] = {action.data(), help.data()};
  EXPECT_EQ(extension->parseCmdLine(2, argv, out), 0);
  EXPECT_NE(out.str().find("  Rocker [OPTION...]"), std::string::npos) << out.str();

  bundles[0].Stop();
  EXPECT_FALSE(context.GetServiceReference<ZorvControlExtension>());
  framework.Stop();
}

TEST_F(RockerBundleTest, HostRunsTheRockerAndUnloadingLeavesNoThreadBehind) {
  using velk::joystick_sim::SimulatedJoystick;
  // Firmware 1.1.3, hardware 2:2.
  SimulatedJoystick joystick(SimulatedJoystick::Transport::kTcp, std::chrono::seconds(60));
  joystick.setButton(velk::joystick_sim::Button::kPower, true);  // held
  velk::sim::SimulatedRobot robot;
  velk::host_rig::LogSink log;
  const int baseline = ThreadProbe::settledCount();
  const std::string options = "cycle = 0.01\ndevice_info = \"" + joystick.deviceInfo() + "\"\n";
  {
    velk::host_rig::BundleHost host(ROCKER_BUNDLE_PATH);
    host.start(robot.api(), log.callback(), options);
    // The thread names itself once it runs.
    EXPECT_TRUE(waitFor([] { return ThreadProbe::countNamed("ROCKER Server") == 1; }, 10000ms));

    // The robot is running: the rocker powers the joystick, reads it and,
    // on the held power button, switches jogging on and records the
    // firmware version in the package file under HOME.
    EXPECT_TRUE(waitFor([&] { return log.contains("startup rocker"); }, 10000ms));
    EXPECT_TRUE(log.contains("Rocker power on"));
    EXPECT_EQ(robot.toolVoltage(), 24);
    EXPECT_TRUE(waitFor(
        [&] { return home_.packageContent() == "{\n    \"firmware_version\": \"1.1.3\"\n}"; },
        10000ms));
    EXPECT_TRUE(waitFor([&] { return joystick.lights().power; }, 10000ms));
    std::this_thread::sleep_for(200ms);

    host.stop();
    // Joined; the kernel may list the ended thread for a moment longer.
    EXPECT_TRUE(waitFor([] { return ThreadProbe::countNamed("ROCKER Server") == 0; }, 10000ms));
    // The framework's registry holds the last reference: stopping the
    // bundle withdraws the service and so destroys the extension.
    host.release();
    EXPECT_FALSE(host.bundleActive());
  }
  EXPECT_TRUE(waitFor([&] { return ThreadProbe::count() == baseline; }, 5000ms))
      << ThreadProbe::count() << " threads, " << baseline << " before";
  EXPECT_EQ(robot.callsNamed("deleteTask").size(), 2u);
}

}  // namespace
