#include "bench/poll_timeline.h"

#include "bench/ms_between.h"
#include "joystick_sim/joystick_map.h"

namespace velk::bench {

using joystick_sim::JoystickMap;
namespace {

constexpr auto kPassGap = std::chrono::milliseconds(5);

bool isStickRead(const ModbusCall& call) {
  return PollTimeline::readsStick(call.function, call.address, call.count);
}

}  // namespace

bool PollTimeline::readsStick(int function, int address, int count) {
  return function == 4 && address <= JoystickMap::kFirstAxisRegister &&
         JoystickMap::kFirstAxisRegister < address + count;
}

bool PollTimeline::Pass::readsStick() const {
  for (const ModbusCall& call : calls) {
    if (isStickRead(call)) return true;
  }
  return false;
}

double PollTimeline::Pass::ioMs() const { return msBetween(first_start, last_end); }

PollTimeline::PollTimeline(const std::vector<ModbusCall>& calls_of_poll_thread) {
  for (const ModbusCall& call : calls_of_poll_thread) {
    if (passes_.empty() || call.start - passes_.back().last_end > kPassGap) {
      Pass pass;
      pass.first_start = call.start;
      pass.last_end = call.end;
      passes_.push_back(pass);
    }
    passes_.back().calls.push_back(call);
    passes_.back().last_end = call.end;
  }
}

std::vector<const ModbusCall*> PollTimeline::stickReads() const {
  std::vector<const ModbusCall*> reads;
  for (const Pass& pass : passes_) {
    for (const ModbusCall& call : pass.calls) {
      if (isStickRead(call)) reads.push_back(&call);
    }
  }
  return reads;
}

std::vector<double> PollTimeline::groupPeriodsMs() const {
  const auto reads = stickReads();
  std::vector<double> periods;
  for (std::size_t i = 1; i < reads.size(); ++i) {
    periods.push_back(msBetween(reads[i - 1]->start, reads[i]->start));
  }
  return periods;
}

std::vector<double> PollTimeline::stickReadMs() const {
  std::vector<double> durations;
  for (const ModbusCall* read : stickReads()) durations.push_back(read->milliseconds());
  return durations;
}

std::vector<double> PollTimeline::groupPassIoMs() const {
  std::vector<double> io;
  for (const Pass& pass : passes_) {
    if (pass.readsStick()) io.push_back(pass.ioMs());
  }
  return io;
}

int PollTimeline::groupPassesBetween(std::chrono::steady_clock::time_point from,
                                     std::chrono::steady_clock::time_point to) const {
  int n = 0;
  for (const Pass& pass : passes_) {
    if (pass.readsStick() && pass.first_start >= from && pass.first_start < to) ++n;
  }
  return n;
}

}  // namespace velk::bench
