// The serial link's packets (SLP): a three-byte preamble, a ten-byte header
// with an additive checksum, the body and a CRC-16 of header and body. All
// integers are big-endian:
//
//   BE EF ED | dest | src | type | size:16 | txid | sum | body... | crc:16
//
// `sum` is the low byte of the sum of the nine bytes before it; the CRC is
// CCITT (polynomial 0x1021, starting at 0) over header and body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace dlp::slp {

constexpr uint8_t kPreamble[3] = {0xBE, 0xEF, 0xED};
constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kFooterSize = 2;

constexpr uint8_t kSocketDlp = 3;  // where the desktop link lives on both ends
constexpr uint8_t kTypeSystem = 0;
constexpr uint8_t kTypePadp = 2;
constexpr uint8_t kTypeLoopback = 3;

struct Header {
  uint8_t dest = kSocketDlp;
  uint8_t src = kSocketDlp;
  uint8_t type = kTypePadp;
  uint16_t size = 0;  // of the body
  uint8_t txid = 0;
  bool operator==(const Header&) const = default;
};

struct Packet {
  Header header;
  std::vector<uint8_t> body;
};

uint16_t crc16(std::span<const uint8_t> bytes, uint16_t crc = 0);
uint8_t headerSum(std::span<const uint8_t, 9> firstNine);

// A whole packet on the wire; header.size is taken from the body, which must
// fit 16 bits.
std::vector<uint8_t> encodePacket(Header header, std::span<const uint8_t> body);

// Finds packets in a byte stream that may carry line noise: bytes before a
// preamble, a header whose checksum fails, a body longer than `maxBody` or a
// packet whose CRC fails are skipped, and the search goes on at the next
// preamble. It holds at most one packet's worth of bytes beyond what it was
// last fed.
class Decoder {
 public:
  explicit Decoder(std::size_t maxBody = 0xFFFF) : maxBody_(maxBody) {}
  void feed(std::span<const uint8_t> bytes);
  // The next whole packet, or nothing until more bytes are fed.
  std::optional<Packet> next();
  // Bytes thrown away as noise so far.
  uint64_t skipped() const { return skipped_; }
  std::size_t buffered() const { return buf_.size() - at_; }

 private:
  void drop(std::size_t n);
  std::size_t maxBody_;
  std::vector<uint8_t> buf_;
  std::size_t at_ = 0;
  uint64_t skipped_ = 0;
};

}  // namespace dlp::slp
