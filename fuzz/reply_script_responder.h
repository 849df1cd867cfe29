#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "joystick_sim/raw_tcp_responder.h"

namespace rocker_fuzz {

// A Modbus TCP "slave" on 127.0.0.1 that answers each request of a
// connection with the next reply of a script instead of with anything
// sensible. One connection at a time; the script set before a connection is
// accepted serves that connection.
//
// A reply is either sent as given or, with `frame`, wrapped in a correct
// MBAP header (the request's transaction and unit, the right length) so that
// its bytes reach the parsing of the PDU rather than the framing checks;
// `match_function` also copies the request's function code over the reply's
// first byte. A `silent` reply sends nothing: the master runs into its
// response time-out and its next request gets the next reply.
//
// Once the script is used up, or when no next request arrives within a few
// milliseconds (the master is waiting for bytes a short reply promised), the
// connection is closed, so no master waits for its byte time-out.
class ReplyScriptResponder {
 public:
  struct Reply {
    std::vector<uint8_t> bytes;
    bool frame = false;
    bool match_function = false;
    bool silent = false;
  };

  ReplyScriptResponder();

  int port() const { return responder_.port(); }
  void setScript(std::vector<Reply> script);

 private:
  using Responder = velk::joystick_sim::RawTcpResponder;

  Responder::Conversation conversation();
  static Responder::Frame replyTo(const Responder::Frame& request, const Reply& reply);

  std::mutex script_mutex_;
  std::vector<Reply> script_;
  // Last: its thread reads the script until it is joined.
  Responder responder_;
};

}  // namespace rocker_fuzz
