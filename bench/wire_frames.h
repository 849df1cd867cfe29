#pragma once

#include "bench/transport.h"

namespace velk::bench {

// Sizes of Modbus frames on the wire for the functions the bundle uses
// (1 to 6), normal replies only. TCP: the 7-byte MBAP header and the PDU (the
// TCP/IP headers of the segments are not counted). RTU: address, PDU and the
// 2-byte check sum; on the line every byte takes 10 bit times (8N1).
class WireFrames {
 public:
  static int requestBytes(Transport transport, int function);
  // `count`: bits or registers read; ignored for the writes, whose reply
  // echoes the request.
  static int replyBytes(Transport transport, int function, int count);
  static double wireMs(long bytes, int baud);
  static constexpr int kBaud = 115200;
};

}  // namespace velk::bench
