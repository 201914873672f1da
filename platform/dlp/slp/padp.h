// The packet layer above SLP (PADP): a DLP packet travels as one or more
// fragments, each acknowledged by the other end. A fragment is
//
//   type | flags | size:16 | data...        (or size:32 with the long flag)
//
// where `size` is the whole packet's length in the first fragment and the
// fragment's offset in the others. An acknowledgement repeats the flags and
// size of what it acknowledges and carries the same transaction number in
// its SLP header; a tickle keeps a waiting peer from giving up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dlp/wire.h"

namespace dlp::padp {

constexpr uint8_t kData = 0x01;
constexpr uint8_t kAck = 0x02;
constexpr uint8_t kTickle = 0x04;
constexpr uint8_t kAbort = 0x08;

constexpr uint8_t kFirst = 0x80;
constexpr uint8_t kLast = 0x40;
constexpr uint8_t kMemoryError = 0x20;
constexpr uint8_t kLongForm = 0x10;

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kLongHeaderSize = 6;
// The most data one fragment carries; both ends refuse bigger fragments.
constexpr std::size_t kMaxFragment = 1024;
constexpr std::size_t kMaxBody = kLongHeaderSize + kMaxFragment;

struct Header {
  uint8_t type = kData;
  uint8_t flags = 0;
  uint32_t size = 0;
  bool operator==(const Header&) const = default;
};

struct Fragment {
  Header header;
  std::span<const uint8_t> data;
};

// Throws WireError for a body shorter than its header or a fragment over
// kMaxFragment. Whatever follows an ack's or tickle's fields is ignored.
Fragment decode(std::span<const uint8_t> body);
std::vector<uint8_t> encode(const Header& header, std::span<const uint8_t> data = {});
// The fragments of `packet` in order; the long form is used only when the
// packet's length does not fit 16 bits (WireError then without `longForm`).
std::vector<std::vector<uint8_t>> split(std::span<const uint8_t> packet, bool longForm);
// The ack of a received fragment.
std::vector<uint8_t> ackFor(const Header& received);

// Puts a packet together from its fragments. A fragment repeated because its
// ack was lost is recognised and ignored; the packet's declared length is
// checked against `maxPacket` before anything is kept.
class Reassembler {
 public:
  explicit Reassembler(std::size_t maxPacket) : maxPacket_(maxPacket) {}
  enum class Step { More, Done, Repeat };
  // A data fragment: More (wait for the next), Done (packet() is whole) or
  // Repeat (seen already). Throws WireError for a fragment that does not fit.
  Step add(const Fragment& fragment);
  bool started() const { return started_; }
  // The whole packet after Done; the reassembler starts afresh.
  std::vector<uint8_t> take();

 private:
  std::size_t maxPacket_;
  bool started_ = false;
  uint32_t total_ = 0;
  std::vector<uint8_t> packet_;
};

}  // namespace dlp::padp
