// The connection opening of a serial HotSync (CMP), carried as one PADP
// packet each way: the handheld's wakeup names the fastest speed it can
// use, the desktop answers with an init naming the speed both switch to
// (or an abort), then both change speed. Ten bytes, big-endian:
//
//   type | flags | major | minor | reserved:16 | rate:32
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dlp/wire.h"

namespace dlp::cmp {

constexpr uint8_t kWakeup = 0x01;
constexpr uint8_t kInit = 0x02;
constexpr uint8_t kAbort = 0x03;
constexpr uint8_t kExtended = 0x04;

// Init flags.
constexpr uint8_t kChangeRate = 0x80;
constexpr uint8_t kOneMinuteTimeout = 0x40;
constexpr uint8_t kTwoMinuteTimeout = 0x20;
constexpr uint8_t kLongPackets = 0x10;  // the long PADP form may be used
// Abort flags.
constexpr uint8_t kAbortVersion = 0x80;

constexpr std::size_t kSize = 10;
// The protocol version both ends speak; a wakeup of another major version
// is refused.
constexpr uint8_t kMajorVersion = 1;
constexpr uint8_t kMinorVersion = 1;
// The speed every serial HotSync starts at.
constexpr uint32_t kStartRate = 9600;

struct Message {
  uint8_t type = kWakeup;
  uint8_t flags = 0;
  uint8_t major = kMajorVersion;
  uint8_t minor = kMinorVersion;
  uint32_t rate = kStartRate;
  bool operator==(const Message&) const = default;
};

std::vector<uint8_t> encode(const Message& message);
// Throws WireError for fewer than ten bytes; bytes after the ten are ignored.
Message decode(std::span<const uint8_t> bytes);

// The speeds a serial line here can be set to, slowest first.
std::span<const uint32_t> standardRates();
// The speed both ends switch to: the fastest standard speed no higher than
// the handheld's maximum and the cap (0: no cap), at least kStartRate.
uint32_t chooseRate(uint32_t handheldMax, uint32_t cap);
// The desktop's answer to a wakeup: an init with the chosen speed, or an
// abort when the handheld speaks another version.
Message answerWakeup(const Message& wakeup, uint32_t cap);

}  // namespace dlp::cmp
