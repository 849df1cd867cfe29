#include "bench/transport.h"

#include <stdexcept>

namespace velk::bench {

std::string transportName(Transport transport) {
  return transport == Transport::kTcp ? "tcp" : "rtu";
}

Transport parseTransport(const std::string& text) {
  if (text == "tcp") return Transport::kTcp;
  if (text == "rtu") return Transport::kRtu;
  throw std::invalid_argument("transport must be tcp or rtu, got '" + text + "'");
}

}  // namespace velk::bench
