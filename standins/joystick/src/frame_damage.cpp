#include "joystick_sim/frame_damage.h"

#include <cstdint>
#include <optional>
#include <utility>

namespace velk::joystick_sim {

namespace {

constexpr std::size_t kMbapLength = 6;  // transaction, protocol, length
constexpr std::size_t kCrcLength = 2;
constexpr uint8_t kExceptionBit = 0x80;
// Exception codes run from 1 to 11; libmodbus 3.1 knows none above.
constexpr uint8_t kUndefinedException = 0x20;
constexpr int kHighestUnit = 247;

using Bytes = std::vector<uint8_t>;

uint16_t crc16(const Bytes& bytes) {
  uint16_t crc = 0xFFFF;
  for (const uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                           : static_cast<uint16_t>(crc >> 1);
    }
  }
  return crc;
}

// A reply taken apart, so that a damage can change one part and the frame
// be put together with a sound CRC or MBAP length.
struct Reply {
  Bytes mbap;  // TCP only
  uint8_t unit = 0;
  Bytes pdu;  // function code and data
};

std::optional<Reply> takeApart(const Bytes& frame, Framing framing) {
  Reply reply;
  if (framing == Framing::kRtu) {
    if (frame.size() < 2 + kCrcLength) return std::nullopt;
    reply.unit = frame[0];
    reply.pdu.assign(frame.begin() + 1, frame.end() - kCrcLength);
  } else {
    if (frame.size() < kMbapLength + 2) return std::nullopt;
    reply.mbap.assign(frame.begin(), frame.begin() + kMbapLength);
    reply.unit = frame[kMbapLength];
    reply.pdu.assign(frame.begin() + kMbapLength + 1, frame.end());
  }
  return reply;
}

Bytes putTogether(const Reply& reply, Framing framing) {
  Bytes frame;
  if (framing == Framing::kTcp) {
    const std::size_t length = reply.pdu.size() + 1;
    frame.assign(reply.mbap.begin(), reply.mbap.begin() + 4);
    frame.push_back(static_cast<uint8_t>(length >> 8));
    frame.push_back(static_cast<uint8_t>(length & 0xFF));
  }
  frame.push_back(reply.unit);
  frame.insert(frame.end(), reply.pdu.begin(), reply.pdu.end());
  if (framing == Framing::kRtu) {
    const uint16_t crc = crc16(frame);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
  }
  return frame;
}

bool isRead(uint8_t function) { return function >= 1 && function <= 4; }

// Changes the part of the reply the damage is about; false if the reply
// has no such part.
bool damagePart(Reply& reply, Damage damage) {
  uint8_t& function = reply.pdu[0];
  switch (damage) {
    case Damage::kOtherUnit:
      reply.unit = static_cast<uint8_t>(reply.unit % kHighestUnit + 1);
      return true;
    case Damage::kTwinFunction:
      if (function < 1 || function > 6) return false;
      function = static_cast<uint8_t>(function % 2 == 1 ? function + 1 : function - 1);
      return true;
    case Damage::kOneItemShort: {
      const std::size_t item = function >= 3 ? 2 : 1;
      if (!isRead(function) || reply.pdu.size() < 2 + item || reply.pdu[1] < item) return false;
      reply.pdu[1] = static_cast<uint8_t>(reply.pdu[1] - item);
      reply.pdu.resize(reply.pdu.size() - item);
      return true;
    }
    case Damage::kBadException:
      reply.pdu = {static_cast<uint8_t>(function | kExceptionBit), kUndefinedException};
      return true;
    case Damage::kOtherTransaction:
      if (reply.mbap.empty()) return false;
      reply.mbap[1] = static_cast<uint8_t>(reply.mbap[1] + 1);
      if (reply.mbap[1] == 0) reply.mbap[0] = static_cast<uint8_t>(reply.mbap[0] + 1);
      return true;
    case Damage::kBadCrc:
    case Damage::kLastByteMissing:
      break;
  }
  return false;
}

Bytes damageFrame(Bytes frame, Damage damage, Framing framing) {
  if (damage == Damage::kLastByteMissing) {
    frame.pop_back();
    return frame;
  }
  if (damage == Damage::kBadCrc) {
    if (framing == Framing::kRtu) frame.back() = static_cast<uint8_t>(~frame.back());
    return frame;
  }
  std::optional<Reply> reply = takeApart(frame, framing);
  if (!reply || !damagePart(*reply, damage)) return frame;
  return putTogether(*reply, framing);
}

const std::pair<Damage, const char*> kNames[] = {
    {Damage::kBadCrc, "bad-crc"},
    {Damage::kOtherUnit, "other-unit"},
    {Damage::kTwinFunction, "twin-function"},
    {Damage::kOneItemShort, "one-item-short"},
    {Damage::kLastByteMissing, "last-byte-missing"},
    {Damage::kBadException, "bad-exception"},
    {Damage::kOtherTransaction, "other-transaction"},
};

}  // namespace

const std::vector<Damage>& allDamages() {
  static const std::vector<Damage> all = [] {
    std::vector<Damage> damages;
    for (const auto& entry : kNames) damages.push_back(entry.first);
    return damages;
  }();
  return all;
}

bool appliesTo(Damage damage, Framing framing) {
  if (damage == Damage::kBadCrc) return framing == Framing::kRtu;
  if (damage == Damage::kOtherTransaction) return framing == Framing::kTcp;
  return true;
}

std::string damageName(Damage damage) {
  for (const auto& [kind, name] : kNames) {
    if (kind == damage) return name;
  }
  return "?";
}

ReplyMangling::Mangler damageReplies(Damage damage, Framing framing) {
  return [damage, framing](Bytes chunk) { return damageFrame(std::move(chunk), damage, framing); };
}

}  // namespace velk::joystick_sim
