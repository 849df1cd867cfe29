#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace rocker_fuzz {

// A Modbus TCP "slave" on 127.0.0.1 (port picked by the kernel) that
// answers each request of a connection with the next reply of a script
// instead of with anything sensible. One connection at a time; the script
// set before a connection is accepted serves that connection.
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
// connection is closed, so no master waits for its byte time-out. The thread
// ends on destruction.
class ReplyScriptResponder {
 public:
  struct Reply {
    std::vector<uint8_t> bytes;
    bool frame = false;
    bool match_function = false;
    bool silent = false;
  };

  ReplyScriptResponder();
  ~ReplyScriptResponder();
  ReplyScriptResponder(const ReplyScriptResponder&) = delete;
  ReplyScriptResponder& operator=(const ReplyScriptResponder&) = delete;

  int port() const { return port_; }
  void setScript(std::vector<Reply> script);

 private:
  void run();
  void serve(int client, const std::vector<Reply>& script);
  bool readRequest(int client, std::vector<uint8_t>& request, int timeout_ms);
  bool readExactly(int client, uint8_t* data, std::size_t size, int timeout_ms);
  static std::vector<uint8_t> replyTo(const std::vector<uint8_t>& request, const Reply& reply);

  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex script_mutex_;
  std::vector<Reply> script_;
  std::thread thread_;
};

}  // namespace rocker_fuzz
