#include "bench/request_tally.h"

#include <string>

#include "bench/wire_frames.h"

namespace velk::bench {

RequestTally::RequestTally(const std::vector<joystick_sim::SlaveRequest>& requests,
                           Transport transport) {
  for (const joystick_sim::SlaveRequest& request : requests) {
    Function& f = functions_[request.function];
    ++f.requests;
    f.request_bytes += WireFrames::requestBytes(transport, request.function);
    f.reply_bytes += WireFrames::replyBytes(transport, request.function, request.count);
    if (request.function >= 1 && request.function <= 4) ++f.spans[request.count];
  }
}

int RequestTally::requests() const {
  int sum = 0;
  for (const auto& entry : functions_) sum += entry.second.requests;
  return sum;
}

long RequestTally::bytes() const {
  long sum = 0;
  for (const auto& entry : functions_) sum += entry.second.request_bytes + entry.second.reply_bytes;
  return sum;
}

nlohmann::json RequestTally::toJson(double seconds) const {
  nlohmann::json out;
  out["seconds"] = seconds;
  out["requests"] = requests();
  out["bytes"] = bytes();
  out["requests_per_s"] = requests() / seconds;
  out["bytes_per_s"] = static_cast<double>(bytes()) / seconds;
  nlohmann::json functions = nlohmann::json::object();
  for (const auto& [code, f] : functions_) {
    nlohmann::json spans = nlohmann::json::object();
    for (const auto& [span, n] : f.spans) spans[std::to_string(span)] = n;
    functions[std::to_string(code)] = {
        {"requests", f.requests},
        {"requests_per_s", f.requests / seconds},
        {"request_bytes", f.request_bytes},
        {"reply_bytes", f.reply_bytes},
        {"bytes_per_s", static_cast<double>(f.request_bytes + f.reply_bytes) / seconds},
        {"spans", spans}};
  }
  out["functions"] = functions;
  return out;
}

}  // namespace velk::bench
