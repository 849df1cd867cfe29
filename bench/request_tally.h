#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "bench/transport.h"
#include "joystick_sim/modbus_slave.h"

namespace velk::bench {

// Requests a slave received, counted by function code, with the bytes they
// and their replies took on the wire.
class RequestTally {
 public:
  struct Function {
    int requests = 0;
    long request_bytes = 0;
    long reply_bytes = 0;
    std::map<int, int> spans;  // for reads: number of addresses read -> requests
  };

  RequestTally(const std::vector<joystick_sim::SlaveRequest>& requests, Transport transport);

  const std::map<int, Function>& byFunction() const { return functions_; }
  int requests() const;
  long bytes() const;
  // Per function and in total, rates over `seconds`.
  nlohmann::json toJson(double seconds) const;

 private:
  std::map<int, Function> functions_;
};

}  // namespace velk::bench
