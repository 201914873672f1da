#include "dlp/slp/padp.h"

#include <algorithm>
#include <string>

namespace dlp::padp {

Fragment decode(std::span<const uint8_t> body) {
  Reader r(body);
  Fragment f;
  f.header.type = r.u8();
  f.header.flags = r.u8();
  f.header.size = (f.header.flags & kLongForm) != 0 ? r.u32() : r.u16();
  f.data = r.rest();
  if (f.data.size() > kMaxFragment) {
    throw WireError("a serial fragment of " + std::to_string(f.data.size()) + " bytes (at most " +
                    std::to_string(kMaxFragment) + ")");
  }
  // Some handhelds put bytes after an ack's fields; only the fields count.
  if (f.header.type != kData) f.data = {};
  return f;
}

std::vector<uint8_t> encode(const Header& header, std::span<const uint8_t> data) {
  Writer w;
  w.u8(header.type).u8(header.flags);
  if ((header.flags & kLongForm) != 0) {
    w.u32(header.size);
  } else {
    if (header.size > 0xFFFF) throw WireError("a serial fragment's size does not fit its short form");
    w.u16(static_cast<uint16_t>(header.size));
  }
  w.bytes(data);
  return std::move(w.out());
}

std::vector<std::vector<uint8_t>> split(std::span<const uint8_t> packet, bool longForm) {
  const bool useLong = packet.size() > 0xFFFF;
  if (useLong && !longForm) {
    throw WireError("a packet of " + std::to_string(packet.size()) + " bytes is too long for this serial link");
  }
  if (packet.size() > 0xFFFFFFFFu) throw WireError("a packet too long for a serial link");
  std::vector<std::vector<uint8_t>> out;
  std::size_t at = 0;
  do {
    const std::size_t n = std::min(kMaxFragment, packet.size() - at);
    Header h;
    h.type = kData;
    h.flags = static_cast<uint8_t>((at == 0 ? kFirst : 0) | (at + n == packet.size() ? kLast : 0) |
                                   (useLong ? kLongForm : 0));
    h.size = static_cast<uint32_t>(at == 0 ? packet.size() : at);
    out.push_back(encode(h, packet.subspan(at, n)));
    at += n;
  } while (at < packet.size());
  return out;
}

std::vector<uint8_t> ackFor(const Header& received) {
  Header ack = received;
  ack.type = kAck;
  return encode(ack);
}

Reassembler::Step Reassembler::add(const Fragment& f) {
  const Header& h = f.header;
  if ((h.flags & kFirst) != 0) {
    if (started_) {
      // The same first fragment again: its ack went missing.
      if (h.size == total_ && f.data.size() <= packet_.size()) return Step::Repeat;
      throw WireError("a serial packet started again in the middle");
    }
    if (h.size > maxPacket_) {
      throw WireError("a serial packet of " + std::to_string(h.size) + " bytes (at most " + std::to_string(maxPacket_) +
                      ")");
    }
    total_ = h.size;
    started_ = true;
    packet_.clear();
    packet_.reserve(total_);
  } else {
    if (!started_) throw WireError("a serial fragment without the start of its packet");
    if (h.size < packet_.size()) return Step::Repeat;
    if (h.size > packet_.size()) throw WireError("a serial fragment went missing");
  }
  if (f.data.size() > total_ - packet_.size()) throw WireError("a serial fragment runs past its packet");
  packet_.insert(packet_.end(), f.data.begin(), f.data.end());
  if ((h.flags & kLast) == 0) {
    if (packet_.size() == total_) throw WireError("a serial packet goes on past its length");
    return Step::More;
  }
  if (packet_.size() != total_) throw WireError("a serial packet ends short of its length");
  return Step::Done;
}

std::vector<uint8_t> Reassembler::take() {
  started_ = false;
  total_ = 0;
  return std::move(packet_);
}

}  // namespace dlp::padp
