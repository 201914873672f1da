#include "dlp/slp/slp.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace dlp::slp {

uint16_t crc16(std::span<const uint8_t> bytes, uint16_t crc) {
  for (const uint8_t b : bytes) {
    crc = static_cast<uint16_t>(crc ^ (b << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

uint8_t headerSum(std::span<const uint8_t, 9> firstNine) {
  unsigned sum = 0;
  for (const uint8_t b : firstNine) sum += b;
  return static_cast<uint8_t>(sum);
}

std::vector<uint8_t> encodePacket(Header header, std::span<const uint8_t> body) {
  if (body.size() > 0xFFFF) throw std::length_error("a serial packet holds at most 65535 bytes");
  header.size = static_cast<uint16_t>(body.size());
  std::vector<uint8_t> out;
  out.reserve(kHeaderSize + body.size() + kFooterSize);
  out.insert(out.end(), std::begin(kPreamble), std::end(kPreamble));
  out.push_back(header.dest);
  out.push_back(header.src);
  out.push_back(header.type);
  out.push_back(static_cast<uint8_t>(header.size >> 8));
  out.push_back(static_cast<uint8_t>(header.size));
  out.push_back(header.txid);
  out.push_back(headerSum(std::span<const uint8_t, 9>(out.data(), 9)));
  out.insert(out.end(), body.begin(), body.end());
  const uint16_t crc = crc16(out);
  out.push_back(static_cast<uint8_t>(crc >> 8));
  out.push_back(static_cast<uint8_t>(crc));
  return out;
}

void Decoder::feed(std::span<const uint8_t> bytes) {
  if (at_ > 0 && at_ >= buf_.size() / 2) {  // keep the buffer from creeping
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(at_));
    at_ = 0;
  }
  buf_.insert(buf_.end(), bytes.begin(), bytes.end());
}

void Decoder::drop(std::size_t n) {
  at_ += n;
  skipped_ += n;
  if (at_ == buf_.size()) {
    buf_.clear();
    at_ = 0;
  }
}

std::optional<Packet> Decoder::next() {
  for (;;) {
    const std::span<const uint8_t> have(buf_.data() + at_, buf_.size() - at_);
    if (have.empty()) return std::nullopt;
    // Line noise: skip to the next possible preamble. A partial preamble at
    // the end stays for the next feed.
    std::size_t start = 0;
    for (;;) {
      const void* found = std::memchr(have.data() + start, kPreamble[0], have.size() - start);
      if (found == nullptr) {
        start = have.size();
        break;
      }
      start = static_cast<std::size_t>(static_cast<const uint8_t*>(found) - have.data());
      const std::size_t n = std::min<std::size_t>(3, have.size() - start);
      if (std::memcmp(have.data() + start, kPreamble, n) == 0) break;
      ++start;
    }
    if (start > 0) drop(start);
    if (start == have.size()) return std::nullopt;
    if (start > 0) continue;
    if (have.size() < kHeaderSize) return std::nullopt;
    const uint16_t size = static_cast<uint16_t>((have[6] << 8) | have[7]);
    if (headerSum(have.first<9>()) != have[9] || size > maxBody_) {
      drop(1);  // not a real header: look for the next preamble
      continue;
    }
    const std::size_t total = kHeaderSize + size + kFooterSize;
    if (have.size() < total) return std::nullopt;
    const uint16_t crc = static_cast<uint16_t>((have[total - 2] << 8) | have[total - 1]);
    if (crc16(have.first(kHeaderSize + size)) != crc) {
      drop(1);
      continue;
    }
    Packet p;
    p.header = Header{have[3], have[4], have[5], size, have[8]};
    p.body.assign(have.begin() + kHeaderSize, have.begin() + static_cast<std::ptrdiff_t>(kHeaderSize + size));
    at_ += total;
    if (at_ == buf_.size()) {
      buf_.clear();
      at_ = 0;
    }
    return p;
  }
}

}  // namespace dlp::slp
