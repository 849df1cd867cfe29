#include <cstring>
#include <cxxopts.hpp>
#include <exception>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <system_error>
#include <utility>

#include "bundle_activator/command_options.h"
#include "bundle_activator/package_file_path.h"
#include "bundle_activator/rocker_extension.h"
#include "bundle_activator/start_options.h"
#include "common/log.h"
#include "common/log_callback.h"
#include "common/log_level.h"
#include "host/common_interface/runtime_machine.h"
#include "host/common_interface/zorv_api.h"
#include "host/common_interface/zorv_control_extension.h"
#include "host/kelmi/periodic_thread.h"
#include "rocker/rocker_service/rocker_service.h"

namespace {

using velk::common_interface::ZorvApi;
using velk::zorv_comm::RockerService;
using velk::zorv_comm::StartOptions;

// The service the host drives: it owns the periodic thread, whose motion
// task owns the rocker service.
class Extension1 : public velk::common_interface::ZorvControlExtension {
 public:
  Extension1() : commandOptions_(velk::zorv_comm::makeCommandOptions()) {}
  ~Extension1() override;

  Extension1(const Extension1&) = delete;
  Extension1& operator=(const Extension1&) = delete;

  void start(std::shared_ptr<ZorvApi> api,
             std::function<void(int, const char*, int, const std::string&)> log,
             const std::string& options) override;
  void stop() override;
  int parseCmdLine(int argc, char** argv, std::ostream& out) override;

 private:
  void logSummary(const StartOptions& o) const;
  void startRockerService(const StartOptions& o, const std::string& packagePath);
  void haltThread();
  void haltJog();
  void deleteHostTask();
  void logShutdownFailure(const char* step) const noexcept;

  // Declaration order is release order in reverse: the thread goes last, and
  // with it the motion task and the rocker service.
  std::shared_ptr<velk::kelmi::PeriodicThread> thread_;
  velk::LogCallback log_;
  std::string options_;
  std::shared_ptr<ZorvApi> api_;
  cxxopts::Options commandOptions_;
  // The motion task owns the service; this only reaches it to end a jog
  // once the task thread has stopped.
  std::weak_ptr<RockerService> service_;
};

void Extension1::start(std::shared_ptr<ZorvApi> api,
                       std::function<void(int, const char*, int, const std::string&)> log,
                       const std::string& options) {
  log_ = std::move(log);
  options_ = options;
  api_ = std::move(api);
  VELK_LOG(log_, velk::kLogInfo) << "Start rocker. Options: \n" << options_;

  StartOptions o = StartOptions::parse(options_);
  // Nothing out of range reaches the service: each value replaced by its
  // default is said once.
  for (const std::string& warning : o.screen()) VELK_LOG(log_, velk::kLogWarning) << warning;
  VELK_LOG(log_, velk::kLogInfo) << "Rocker  used device_info:\n" << o.device_info;
  logSummary(o);

  // Overwriting the field releases a thread from an earlier start, and with
  // it that start's rocker service.
  thread_ = std::make_shared<velk::kelmi::PeriodicThread>(o.periodMicroseconds(), "ROCKER Server",
                                                          0, -1, 10);
  const std::string packagePath = velk::zorv_comm::packageFilePath();
  try {
    startRockerService(o, packagePath);
  } catch (const std::system_error& e) {
    VELK_LOG(log_, velk::kLogError) << e.what();
  }
}

void Extension1::logSummary(const StartOptions& o) const {
  VELK_LOG(log_, velk::kLogInfo) << "X:" << o.tool_x << "  Y:" << o.tool_y << "  Z:" << o.tool_z
                                 << "  pose_speed_fast:" << o.pose_speed_fast
                                 << "  pose_speed_slow:" << o.pose_speed_slow
                                 << "  ori_velc:" << o.ori_velc << "  acc:" << o.acc
                                 << " debug:" << o.debug << "  rotation_angle:" << o.rotation;
  VELK_LOG(log_, velk::kLogInfo) << "Rocker input_timeout:" << o.input_timeout;
  VELK_LOG(log_, velk::kLogInfo) << "Rocker max_speed:" << o.max_speed
                                 << " stick_limit:" << o.stick_limit
                                 << " stick_rate:" << o.stick_rate;
  if (!o.turnsTool()) return;
  VELK_LOG(log_, velk::kLogInfo) << "Rocker jog_axes:6 max_angular_speed:" << o.max_angular_speed;
  if (o.ori_velc == velk::zorv_comm::RockerSettings().ori_velc) {
    VELK_LOG(log_, velk::kLogWarning)
        << "Rocker jog_axes is 6 with ori_velc at its default " << o.ori_velc
        << " rad/s: the tool will turn very slowly (about 0.3 degrees a second at full "
           "deflection); set ori_velc, e.g. 0.3";
  }
}

// The service is fully configured before the task that uses it is added and
// the thread started, so the thread never sees it half set up. Afterwards the
// motion task holds the only reference to it.
void Extension1::startRockerService(const StartOptions& o, const std::string& packagePath) {
  auto service = std::make_shared<RockerService>(api_, log_, o.device_info);
  service->configure(o);
  service->setConfigPath(packagePath);
  service_ = service;
  std::function<void()> motionTask = [service] {
    service->updateRockerData();
    service->motion();
  };
  thread_->addTask("motion", std::move(motionTask), -1, 0, false);
  thread_->start(0);
}

void Extension1::stop() {
  haltThread();
  haltJog();
  deleteHostTask();
}

// An extension that was never started has neither thread nor API handle;
// there is nothing to halt then.
void Extension1::haltThread() {
  if (!thread_) return;
  thread_->stop();
  thread_->join();
}

// With the task thread stopped nothing else would ever end a jog in
// progress; the service itself is released only with the extension.
void Extension1::haltJog() {
  if (auto service = service_.lock()) service->haltJog();
}

void Extension1::deleteHostTask() {
  if (!api_) return;
  if (auto runtime = api_->getRuntimeMachine()) runtime->deleteTask(0);
}

// The host may destroy the extension after stop(): the thread and the host's
// runtime machine then see these calls a second time, which both tolerate.
Extension1::~Extension1() {
  try {
    haltThread();
  } catch (...) {
    logShutdownFailure("stopping the thread");
  }
  try {
    haltJog();
  } catch (...) {
    logShutdownFailure("stopping the jog");
  }
  try {
    deleteHostTask();
  } catch (...) {
    logShutdownFailure("deleting the host task");
  }
}

void Extension1::logShutdownFailure(const char* step) const noexcept {
  try {
    std::string reason = "unknown error";
    try {
      throw;
    } catch (const std::exception& e) {
      reason = e.what();
    } catch (...) {
    }
    VELK_LOG(log_, velk::kLogError) << "Rocker shutdown: " << step << " failed: " << reason;
  } catch (...) {
    // Logging itself failed; a destructor has nowhere else to report to.
  }
}

int Extension1::parseCmdLine(int argc, char** argv, std::ostream& out) {
  if (argc < 1 || argv == nullptr || argv[0] == nullptr || std::strcmp(argv[0], "action1") != 0) {
    return 1;
  }
  velk::zorv_comm::refuseOverlongArguments(argc, argv);
  const cxxopts::ParseResult result = commandOptions_.parse(argc, argv);
  if (result.count("help") > 0) out << commandOptions_.help() << std::endl;
  return 0;
}

}  // namespace

namespace velk::zorv_comm {

std::shared_ptr<common_interface::ZorvControlExtension> makeRockerExtension() {
  return std::make_shared<Extension1>();
}

}  // namespace velk::zorv_comm
