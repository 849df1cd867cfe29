#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace velk::joystick_sim {

// A hand-written Modbus TCP responder on 127.0.0.1 (port picked by the
// kernel) for replies no well-behaved slave gives. It reads each request
// frame (7-byte MBAP header plus PDU) and sends back whatever it is told to
// make of it: whole frames in, whole frames out; an empty frame sends
// nothing. One client at a time; the thread ends on destruction or after
// `lifetime`.
//
//   RawTcpResponder odd([](const auto& request) {
//     return RawTcpResponder::readReplyWithExtraData(request, 2);
//   });
//   ModbusDevice device(log, "127.0.0.1", odd.port(), 2, 200);
//
// A conversation, begun afresh for each connection, also says how long to
// wait for the next request before hanging up, or to hang up at once: a
// master that waits for bytes a short reply promised then meets a closed
// connection instead of running into its byte time-out.
class RawTcpResponder {
 public:
  using Frame = std::vector<uint8_t>;
  using Reply = std::function<Frame(const Frame& request)>;
  struct Answer {
    Frame frame;
    std::chrono::milliseconds next_request_within = std::chrono::hours(24);
  };
  // Nothing: hang up.
  using Conversation = std::function<std::optional<Answer>(const Frame& request)>;
  using ConversationStart = std::function<Conversation()>;

  explicit RawTcpResponder(Reply reply, std::chrono::seconds lifetime = std::chrono::seconds(30));
  RawTcpResponder(ConversationStart start, std::chrono::seconds lifetime);
  ~RawTcpResponder();
  RawTcpResponder(const RawTcpResponder&) = delete;
  RawTcpResponder& operator=(const RawTcpResponder&) = delete;

  int port() const { return port_; }
  int requestCount() const { return requests_.load(); }

  // The correct reply to a read request (functions 1..4, zero data) with
  // `extra` data bytes more than asked for, byte count and MBAP length
  // counting them.
  static Frame readReplyWithExtraData(const Frame& request, int extra);

 private:
  using Clock = std::chrono::steady_clock;

  void run(Clock::time_point deadline);
  void serve(int client, Clock::time_point deadline);
  bool readRequest(int client, Frame& request, Clock::time_point deadline);
  bool readExactly(int fd, uint8_t* data, std::size_t size, Clock::time_point deadline);

  ConversationStart start_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

}  // namespace velk::joystick_sim
