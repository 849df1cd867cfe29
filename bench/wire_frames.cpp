#include "bench/wire_frames.h"

namespace velk::bench {
namespace {

// Everything around the PDU.
int framing(Transport transport) { return transport == Transport::kTcp ? 7 : 3; }

}  // namespace

int WireFrames::requestBytes(Transport transport, int function) {
  (void)function;  // functions 1 to 6 all carry address and quantity or value
  return framing(transport) + 5;
}

int WireFrames::replyBytes(Transport transport, int function, int count) {
  switch (function) {
    case 1:
    case 2:
      return framing(transport) + 2 + (count + 7) / 8;
    case 3:
    case 4:
      return framing(transport) + 2 + 2 * count;
    default:
      return framing(transport) + 5;
  }
}

double WireFrames::wireMs(long bytes, int baud) {
  return static_cast<double>(bytes) * 10.0 * 1000.0 / baud;
}

}  // namespace velk::bench
