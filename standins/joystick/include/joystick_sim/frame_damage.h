#pragma once

#include <string>
#include <vector>

#include "joystick_sim/reply_mangling.h"

namespace velk::joystick_sim {

// How a reply reaches the master: an RTU frame (unit, PDU, CRC) on a serial
// line or a TCP frame (MBAP header, unit, PDU) on a socket.
enum class Framing { kRtu, kTcp };

// The ways a noisy line or a confused bus damages a reply. Apart from its
// own fault each damaged frame stays well formed: the CRC is computed anew
// and the MBAP length fixed, so that the master meets exactly this fault.
enum class Damage {
  kBadCrc,            // RTU only: the high byte of the CRC inverted
  kOtherUnit,         // the reply names the next unit number
  kTwinFunction,      // function 3 for 4, 1 for 2 and the like
  kOneItemShort,      // a read reply one register (or one byte of bits) short
  kLastByteMissing,   // the last byte never comes
  kBadException,      // an exception reply with a code beyond those defined
  kOtherTransaction,  // TCP only: the transaction number of another request
};

// Every kind, in the order above.
const std::vector<Damage>& allDamages();
bool appliesTo(Damage damage, Framing framing);
// "bad-crc", "other-unit", "twin-function", "one-item-short",
// "last-byte-missing", "bad-exception", "other-transaction".
std::string damageName(Damage damage);

// Damages each chunk it is given, taken for one whole reply frame; a chunk
// too short to be one, or a reply the damage does not fit (a write reply
// cannot be one register short), passes unchanged.
ReplyMangling::Mangler damageReplies(Damage damage, Framing framing);

}  // namespace velk::joystick_sim
