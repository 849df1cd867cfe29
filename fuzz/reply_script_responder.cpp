#include "reply_script_responder.h"

#include <chrono>
#include <memory>
#include <utility>

namespace rocker_fuzz {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kHeaderSize = 7;  // MBAP: transaction, protocol, length, unit
// How long a master may take to send its next request after a reply. A
// master that takes longer is waiting for bytes the last reply promised but
// never sent.
constexpr auto kNextRequest = 5ms;
// After a silent reply the master first waits out its response time-out.
constexpr auto kAfterSilence = 200ms;

}  // namespace

ReplyScriptResponder::ReplyScriptResponder()
    : responder_([this] { return conversation(); }, std::chrono::hours(24)) {}

void ReplyScriptResponder::setScript(std::vector<Reply> script) {
  std::lock_guard<std::mutex> lock(script_mutex_);
  script_ = std::move(script);
}

ReplyScriptResponder::Responder::Conversation ReplyScriptResponder::conversation() {
  std::shared_ptr<const std::vector<Reply>> script;
  {
    std::lock_guard<std::mutex> lock(script_mutex_);
    script = std::make_shared<const std::vector<Reply>>(script_);
  }
  auto next = std::make_shared<std::size_t>(0);
  return [script, next](const Responder::Frame& request) -> std::optional<Responder::Answer> {
    if (*next >= script->size()) return std::nullopt;
    const Reply& reply = (*script)[(*next)++];
    Responder::Answer answer;
    if (!reply.silent) answer.frame = replyTo(request, reply);
    // The script used up: whatever the master asks next meets a closed
    // connection, at once rather than after its time-outs.
    answer.next_request_within = *next == script->size() ? 0ms
                                 : reply.silent          ? kAfterSilence
                                                         : kNextRequest;
    return answer;
  };
}

ReplyScriptResponder::Responder::Frame ReplyScriptResponder::replyTo(
    const Responder::Frame& request, const Reply& reply) {
  std::vector<uint8_t> pdu = reply.bytes;
  if (reply.match_function && !pdu.empty() && request.size() > kHeaderSize) {
    pdu[0] = request[kHeaderSize];
  }
  if (!reply.frame) return pdu;
  const std::size_t length = pdu.size() + 1;
  std::vector<uint8_t> framed = {request[0],
                                 request[1],
                                 0,
                                 0,
                                 static_cast<uint8_t>((length >> 8) & 0xFF),
                                 static_cast<uint8_t>(length & 0xFF),
                                 request[6]};
  framed.insert(framed.end(), pdu.begin(), pdu.end());
  return framed;
}

}  // namespace rocker_fuzz
