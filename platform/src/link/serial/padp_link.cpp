#include "link/serial/padp_link.h"

#include <algorithm>

#include "dlp/packet.h"
#include "dlp/slp/cmp.h"

namespace hotsync::detail {

namespace {

namespace padp = dlp::padp;
namespace slp = dlp::slp;
namespace cmp = dlp::cmp;

uint8_t nextTxid(uint8_t txid) { return static_cast<uint8_t>(txid >= 0xFE ? 1 : txid + 1); }

std::string version(const cmp::Message& m) { return std::to_string(m.major) + "." + std::to_string(m.minor); }

}  // namespace

PadpLink::PadpLink(std::unique_ptr<ByteStream> stream, bool desktop)
    : stream_(std::move(stream)), desktop_(desktop), decoder_(padp::kMaxBody) {}

std::unique_ptr<PadpLink> PadpLink::desktop(std::unique_ptr<ByteStream> stream, uint32_t rateCap,
                                            const RateSwitch& switchRate) {
  std::unique_ptr<PadpLink> link(new PadpLink(std::move(stream), true));
  cmp::Message wakeup;
  try {
    wakeup = cmp::decode(link->receive());
  } catch (const dlp::WireError&) {
    throw LinkError(link->peer() + " sent no serial wakeup");
  }
  if (wakeup.type != cmp::kWakeup) throw LinkError(link->peer() + " sent no serial wakeup");
  const cmp::Message answer = cmp::answerWakeup(wakeup, rateCap);
  // The answer goes back under the wakeup's number.
  link->sendPacket(cmp::encode(answer), link->txid_, kTries);
  if (answer.type == cmp::kAbort) {
    throw LinkError("the handheld speaks serial protocol " + version(wakeup) + ", this desktop " +
                    std::to_string(cmp::kMajorVersion) + ".x");
  }
  link->opening_ = false;
  link->longForm_ = (answer.flags & cmp::kLongPackets) != 0;
  if (answer.rate != link->rate_) {
    if (switchRate) switchRate(answer.rate);
    link->rate_ = answer.rate;
  }
  return link;
}

std::unique_ptr<PadpLink> PadpLink::handheld(std::unique_ptr<ByteStream> stream, uint32_t maxRate,
                                             const RateSwitch& switchRate, std::chrono::seconds patience) {
  std::unique_ptr<PadpLink> link(new PadpLink(std::move(stream), false));
  cmp::Message wakeup;
  wakeup.flags = cmp::kLongPackets;
  wakeup.rate = maxRate;
  const auto tries = std::max<int>(kTries, static_cast<int>(patience / kAckWait));
  link->sendPacket(cmp::encode(wakeup), 0xFF, tries);
  cmp::Message init;
  try {
    init = cmp::decode(link->receive());
  } catch (const dlp::WireError&) {
    throw LinkError(link->peer() + " did not answer the wakeup");
  }
  if (init.type == cmp::kAbort) throw LinkError(link->peer() + " refused the HotSync (serial protocol version)");
  if (init.type != cmp::kInit) throw LinkError(link->peer() + " did not answer the wakeup");
  link->opening_ = false;
  link->longForm_ = (init.flags & cmp::kLongPackets) != 0;
  const uint32_t rate = (init.flags & cmp::kChangeRate) != 0 ? init.rate : cmp::kStartRate;
  if (rate != link->rate_) {
    if (switchRate) switchRate(rate);
    link->rate_ = rate;
  }
  return link;
}

void PadpLink::send(std::span<const uint8_t> packet) {
  // The desktop numbers each request; the handheld answers under the number
  // of the request.
  if (desktop_) txid_ = nextTxid(txid_);
  sendPacket(packet, txid_, kTries);
}

void PadpLink::sendKeepAlive() { writeFragment(txid_, padp::encode(padp::Header{padp::kTickle, 0, 0})); }

void PadpLink::writeFragment(uint8_t txid, std::span<const uint8_t> fragment) {
  stream_->writeAll(
      slp::encodePacket(slp::Header{slp::kSocketDlp, slp::kSocketDlp, slp::kTypePadp, 0, txid}, fragment));
}

void PadpLink::sendAck(uint8_t txid, const padp::Header& header) {
  writeFragment(txid, padp::ackFor(header));
  lastAck_ = LastAck{txid, header};
}

bool PadpLink::isRepeat(uint8_t txid, const padp::Header& header) const {
  return lastAck_ && lastAck_->txid == txid && lastAck_->header == header;
}

std::optional<slp::Packet> PadpLink::nextPacket(Clock::time_point until) {
  uint8_t chunk[4096];
  for (;;) {
    if (auto p = decoder_.next()) return p;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    std::size_t n = 0;
    try {
      n = stream_->readSome(chunk, left);
    } catch (const LinkError&) {
      // The stream says a silent wait is over as it says a closed peer is;
      // only the clock tells them apart.
      if (Clock::now() >= until) return std::nullopt;
      throw;
    }
    decoder_.feed(std::span<const uint8_t>(chunk, n));
  }
}

void PadpLink::sendPacket(std::span<const uint8_t> packet, uint8_t txid, int tries) {
  std::vector<std::vector<uint8_t>> fragments;
  try {
    fragments = padp::split(packet, longForm_);
  } catch (const dlp::WireError& e) {
    throw LinkError(e.what());
  }
  for (std::size_t i = 0; i < fragments.size(); ++i) {
    const bool last = i + 1 == fragments.size();
    bool acked = false;
    for (int attempt = 0; attempt < tries && !acked; ++attempt) {
      writeFragment(txid, fragments[i]);
      const auto until = Clock::now() + ackWait_;
      while (!acked) {
        auto p = nextPacket(until);
        if (!p) break;
        if (p->header.type != slp::kTypePadp) continue;
        padp::Fragment f;
        try {
          f = padp::decode(p->body);
        } catch (const dlp::WireError&) {
          continue;
        }
        if (f.header.type == padp::kAck && p->header.txid == txid) {
          if ((f.header.flags & padp::kMemoryError) != 0) {
            throw LinkError(peer() + " has no memory left for a packet of " + std::to_string(packet.size()) + " bytes");
          }
          acked = true;
        } else if (f.header.type == padp::kData) {
          if (isRepeat(p->header.txid, f.header)) {
            sendAck(p->header.txid, f.header);  // our ack of it went missing
          } else if (last && !opening_ && (f.header.flags & padp::kFirst) != 0 &&
                     (desktop_ ? p->header.txid == txid : p->header.txid != txid)) {
            // The answer (or the next request) came, so our packet arrived
            // and only its ack was lost.
            early_ = std::move(p);
            acked = true;
          }
        }
      }
    }
    if (!acked) throw LinkError(peer() + " stopped answering");
  }
}

std::vector<uint8_t> PadpLink::receive() {
  padp::Reassembler reassembler(dlp::kMaxFramePayload);
  auto until = Clock::now() + timeout();
  for (;;) {
    std::optional<slp::Packet> p;
    if (early_) {
      p = std::move(early_);
      early_.reset();
    } else {
      p = nextPacket(until);
    }
    if (!p) throw LinkError(peer() + " stopped answering");
    if (p->header.type != slp::kTypePadp) continue;
    padp::Fragment f;
    try {
      f = padp::decode(p->body);
    } catch (const dlp::WireError&) {
      continue;  // whole by its checksum but no fragment: noise all the same
    }
    if (f.header.type == padp::kTickle) {
      until = Clock::now() + timeout();
      continue;
    }
    if (f.header.type != padp::kData) continue;  // a late ack
    const uint8_t txid = p->header.txid;
    if (isRepeat(txid, f.header) && !reassembler.started()) {
      sendAck(txid, f.header);
      continue;
    }
    if (!reassembler.started()) {
      if ((f.header.flags & padp::kFirst) == 0) continue;
      // The desktop waits for the answer to its request; the handheld takes
      // the next request, whatever its number.
      if (desktop_ && !opening_ && txid != txid_) continue;
      if (!desktop_ || opening_) txid_ = txid;
    } else if (txid != txid_) {
      continue;
    }
    padp::Reassembler::Step step;
    try {
      step = reassembler.add(f);
    } catch (const dlp::WireError& e) {
      throw LinkError(peer() + " sent a bad serial packet: " + e.what());
    }
    sendAck(txid, f.header);
    if (step == padp::Reassembler::Step::Done) return reassembler.take();
    until = Clock::now() + timeout();
  }
}

}  // namespace hotsync::detail
