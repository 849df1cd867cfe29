// The stand-in framework, driven the way a host drives it, with a small
// probe bundle and with bundle files made from it at run time.
#include "cppmicroservices/Framework.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bundle/bundle_file.h"
#include "cppmicroservices/Any.h"
#include "cppmicroservices/Bundle.h"
#include "cppmicroservices/BundleContext.h"
#include "cppmicroservices/FrameworkFactory.h"
#include "host_rig/scratch_folder.h"
#include "probe/greeter.h"

namespace {

using cppmicroservices::any_cast;
using cppmicroservices::Bundle;
using cppmicroservices::BundleContext;
using cppmicroservices::Framework;
using cppmicroservices::FrameworkEvent;
using cppmicroservices::FrameworkFactory;
using rocker_test::makeBundleFile;
using velk::host_rig::ScratchFolder;

const char* const kProbeManifestWithoutActivator =
    "{\n  \"bundle.symbolic_name\" : \"probe_copy\"\n}\n";

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    framework_.Start();
    context_ = framework_.GetBundleContext();
  }
  void TearDown() override { framework_.Stop(); }

  Bundle installProbe() {
    auto bundles = context_.InstallBundles(PROBE_BUNDLE_PATH);
    if (bundles.size() != 1) throw std::logic_error("expected exactly one probe bundle");
    return bundles.front();
  }

  std::shared_ptr<probe::Greeter> greeter() {
    auto ref = context_.GetServiceReference<probe::Greeter>();
    return ref ? context_.GetService(ref) : nullptr;
  }

  Framework framework_ = FrameworkFactory().NewFramework();
  BundleContext context_;
  ScratchFolder scratch_;
};

TEST_F(FrameworkTest, StartedBundleOffersItsServiceWithFrameworkProperties) {
  Bundle bundle = installProbe();
  EXPECT_EQ(bundle.GetSymbolicName(), "probe");
  EXPECT_EQ(bundle.GetState(), Bundle::STATE_INSTALLED);

  bundle.Start();
  EXPECT_EQ(bundle.GetState(), Bundle::STATE_ACTIVE);
  auto ref = context_.GetServiceReference<probe::Greeter>();
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref.GetInterfaceId(), "probe::Greeter");

  auto keys = ref.GetPropertyKeys();
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys,
            (std::vector<std::string>{"Flavor", "objectclass", "service.id", "service.scope"}));
  EXPECT_EQ(any_cast<std::string>(ref.GetProperty("Flavor")), "plain");
  EXPECT_EQ(any_cast<std::vector<std::string>>(ref.GetProperty("objectclass")),
            std::vector<std::string>{"probe::Greeter"});
  EXPECT_EQ(any_cast<std::string>(ref.GetProperty("service.scope")), "singleton");
  EXPECT_GT(any_cast<long>(ref.GetProperty("service.id")), 0);
  EXPECT_TRUE(ref.GetProperty("no such key").Empty());

  auto service = context_.GetService(ref);
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(service->greet(), "hello from probe");
  EXPECT_TRUE(service->sawOwnContext());
  EXPECT_EQ(service->liveActivators(), 1);

  EXPECT_EQ(bundle.GetRegisteredServices().size(), 1u);
  auto untyped = context_.GetServiceReference("probe::Greeter");
  ASSERT_TRUE(untyped);
  auto interfaces = context_.GetService(untyped);
  ASSERT_NE(interfaces, nullptr);
  EXPECT_EQ(interfaces->count("probe::Greeter"), 1u);
}

TEST_F(FrameworkTest, StopWithdrawsServicesDestroysActivatorAndKeepsCodeMapped) {
  Bundle bundle = installProbe();
  bundle.Start();
  auto ref = context_.GetServiceReference<probe::Greeter>();
  const long firstId = any_cast<long>(ref.GetProperty("service.id"));
  auto held = context_.GetService(ref);
  BundleContext bundleContext = bundle.GetBundleContext();
  ASSERT_TRUE(bundleContext);

  bundle.Stop();
  EXPECT_EQ(bundle.GetState(), Bundle::STATE_RESOLVED);
  EXPECT_FALSE(context_.GetServiceReference<probe::Greeter>());
  EXPECT_TRUE(bundle.GetRegisteredServices().empty());
  EXPECT_EQ(context_.GetService(ref), nullptr);
  EXPECT_FALSE(bundleContext);
  EXPECT_THROW(bundleContext.GetServiceReference("probe::Greeter"), std::runtime_error);
  // The host still holds the service; its code must still be there.
  EXPECT_EQ(held->liveActivators(), 0);
  EXPECT_EQ(held->greet(), "hello from probe");

  bundle.Start();
  auto again = context_.GetServiceReference<probe::Greeter>();
  ASSERT_TRUE(again);
  EXPECT_GT(any_cast<long>(again.GetProperty("service.id")), firstId);
  EXPECT_EQ(held->liveActivators(), 1);
}

TEST_F(FrameworkTest, InstallingALocationTwiceGivesTheSameBundle) {
  Bundle first = installProbe();
  Bundle second = installProbe();
  EXPECT_EQ(first, second);
  EXPECT_EQ(context_.GetBundles().size(), 2u);  // the framework and the probe
}

TEST_F(FrameworkTest, FailedStartLeavesNothingRegisteredAndNoActivator) {
  Bundle bundle = installProbe();
  setenv("PROBE_FAIL_START", "1", 1);
  EXPECT_THROW(bundle.Start(), std::runtime_error);
  unsetenv("PROBE_FAIL_START");
  EXPECT_EQ(bundle.GetState(), Bundle::STATE_RESOLVED);
  EXPECT_FALSE(context_.GetServiceReference<probe::Greeter>());

  bundle.Start();
  auto service = greeter();
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(service->liveActivators(), 1);
}

TEST_F(FrameworkTest, RefusesFilesWithoutAValidManifest) {
  const std::string plain = scratch_.file("plain.so");
  std::ofstream(plain) << "no archive here";
  EXPECT_THROW(context_.InstallBundles(plain), std::runtime_error);
  EXPECT_THROW(context_.InstallBundles(scratch_.file("missing.so")), std::runtime_error);

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"probe", "{\n  \"bundle.activator\" : true\n}\n"},
      {"probe", "{\n  \"bundle.symbolic_name\" : \"\",\n  \"bundle.activator\" : true\n}\n"},
      {"probe", "{\n  \"bundle.symbolic_name\" : 42\n}\n"},
      {"probe", "not json"},
      {"", "{\n  \"bundle.symbolic_name\" : \"top\"\n}\n"},
  };
  int n = 0;
  for (const auto& [folder, manifest] : refused) {
    const std::string file = scratch_.file("refused" + std::to_string(n++) + ".so");
    makeBundleFile(PLAIN_PROBE_PATH, file, folder, manifest);
    EXPECT_THROW(context_.InstallBundles(file), std::runtime_error) << manifest;
  }
  EXPECT_EQ(context_.GetBundles().size(), 1u);
}

TEST_F(FrameworkTest, CallsTheActivatorOnlyWhenAskedWithBooleanTrue) {
  const std::vector<std::string> manifests = {
      kProbeManifestWithoutActivator,
      "{\n  \"bundle.symbolic_name\" : \"probe_copy\",\n  \"bundle.activator\" : \"true\"\n}\n",
      "{\n  \"bundle.symbolic_name\" : \"probe_copy\",\n  \"bundle.activator\" : 1\n}\n",
  };
  int n = 0;
  for (const auto& manifest : manifests) {
    const std::string file = scratch_.file("copy" + std::to_string(n++) + ".so");
    makeBundleFile(PLAIN_PROBE_PATH, file, "probe", manifest);
    Bundle bundle = context_.InstallBundles(file).at(0);
    bundle.Start();
    EXPECT_EQ(bundle.GetState(), Bundle::STATE_ACTIVE);
    EXPECT_FALSE(context_.GetServiceReference<probe::Greeter>()) << manifest;
  }
}

TEST_F(FrameworkTest, MissingEntryPointsFailTheStart) {
  // The folder name decides the entry points looked up: "other" has none.
  const std::string file = scratch_.file("other.so");
  makeBundleFile(PLAIN_PROBE_PATH, file, "other",
                 "{\n  \"bundle.symbolic_name\" : \"other\",\n  \"bundle.activator\" : true\n}\n");
  Bundle bundle = context_.InstallBundles(file).at(0);
  try {
    bundle.Start();
    FAIL() << "start should fail";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("_us_set_bundle_context_instance_other"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(bundle.GetState(), Bundle::STATE_RESOLVED);
}

TEST_F(FrameworkTest, FrameworkStopStopsItsBundles) {
  Bundle bundle = installProbe();
  bundle.Start();
  auto held = greeter();
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(framework_.WaitForStop(std::chrono::milliseconds(20)).GetType(),
            FrameworkEvent::Type::FRAMEWORK_WAIT_TIMEDOUT);

  framework_.Stop();
  EXPECT_EQ(framework_.WaitForStop(std::chrono::milliseconds(1000)).GetType(),
            FrameworkEvent::Type::FRAMEWORK_STOPPED);
  EXPECT_EQ(bundle.GetState(), Bundle::STATE_RESOLVED);
  EXPECT_EQ(held->liveActivators(), 0);
}

class HostService : public probe::Greeter {
 public:
  std::string greet() const override { return "host"; }
  int liveActivators() const override { return 0; }
  bool sawOwnContext() const override { return false; }
};

TEST_F(FrameworkTest, DroppingARegistrationHandleKeepsTheServiceRegistered) {
  auto registration = context_.RegisterService<probe::Greeter>(std::make_shared<HostService>());
  auto kept = registration;
  registration = nullptr;
  auto ref = context_.GetServiceReference<probe::Greeter>();
  ASSERT_TRUE(ref);
  EXPECT_EQ(context_.GetService(ref)->greet(), "host");

  kept.Unregister();
  EXPECT_FALSE(context_.GetServiceReference<probe::Greeter>());
  EXPECT_THROW(kept.Unregister(), std::logic_error);
}

TEST(AnyTest, KeepsTypeAndRefusesOtherTypes) {
  cppmicroservices::Any number = 0;
  EXPECT_EQ(number.Type(), typeid(int));
  EXPECT_EQ(any_cast<int>(number), 0);
  EXPECT_THROW(any_cast<long>(number), cppmicroservices::BadAnyCastException);
  EXPECT_THROW(any_cast<std::string>(number), std::bad_cast);

  cppmicroservices::Any text = "literal";
  EXPECT_EQ(any_cast<std::string>(text), "literal");
  EXPECT_EQ(cppmicroservices::Any(std::vector<std::string>{"a", "b"}).ToString(), "[a,b]");
  EXPECT_TRUE(cppmicroservices::Any().Empty());
}

}  // namespace
