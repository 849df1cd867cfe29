#include "bench/light_write_check.h"

namespace velk::bench {

LightWriteCheck::LightWriteCheck(const std::vector<joystick_sim::SlaveRequest>& requests) {
  // Index of the open episode per (function, address).
  std::map<std::pair<int, int>, std::size_t> open;
  for (const joystick_sim::SlaveRequest& request : requests) {
    if (request.function == 5 || request.function == 6) {
      const auto key = std::make_pair(request.function, request.address);
      auto it = open.find(key);
      if (it == open.end() || episodes_[it->second].value != request.count) {
        Episode episode;
        episode.function = request.function;
        episode.address = request.address;
        episode.value = request.count;
        episodes_.push_back(episode);
        open[key] = episodes_.size() - 1;
        it = open.find(key);
      }
      Episode& episode = episodes_[it->second];
      ++episode.writes;
      if (episode.confirmed) ++episode.writes_after_confirmation;
      continue;
    }
    for (const auto& entry : open) {
      Episode& episode = episodes_[entry.second];
      if (covers(request, episode)) episode.confirmed = true;
    }
  }
}

bool LightWriteCheck::covers(const joystick_sim::SlaveRequest& read, const Episode& episode) {
  const int read_function = episode.function == 5 ? 1 : 3;
  return read.function == read_function && read.address <= episode.address &&
         episode.address < read.address + read.count;
}

int LightWriteCheck::wastedWrites() const {
  int sum = 0;
  for (const Episode& episode : episodes_) sum += episode.writes_after_confirmation;
  return sum;
}

nlohmann::json LightWriteCheck::toJson() const {
  nlohmann::json list = nlohmann::json::array();
  for (const Episode& e : episodes_) {
    list.push_back({{"function", e.function},
                    {"address", e.address},
                    {"value", e.value},
                    {"writes", e.writes},
                    {"confirmed", e.confirmed},
                    {"writes_after_confirmation", e.writes_after_confirmation}});
  }
  return {{"episodes", list}, {"wasted_writes", wastedWrites()}};
}

}  // namespace velk::bench
