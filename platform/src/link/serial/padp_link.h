// A serial HotSync link: DLP packets in PADP fragments inside SLP packets,
// over a tty or an emulator's serial port carried over TCP. Each fragment
// is acknowledged; one that is not is sent again, and a peer that stays
// silent through every try is gone (LinkError). The CMP opening picks the
// speed; the caller's rate switch changes the line's speed when both ends
// agreed on another than the starting 9600.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dlp/slp/padp.h"
#include "dlp/slp/slp.h"
#include "link/byte_stream.h"
#include "link/link.h"

namespace hotsync::detail {

class PadpLink : public Link {
 public:
  using RateSwitch = std::function<void(uint32_t rate)>;

  // How long one fragment waits for its ack, and how often it is sent.
  static constexpr std::chrono::milliseconds kAckWait{2000};
  static constexpr int kTries = 10;

  // The desktop's end: reads the handheld's wakeup, answers with the speed
  // (the lower of the handheld's maximum and `rateCap`, 0 for none) or
  // with an abort when the handheld speaks another version, and switches.
  static std::unique_ptr<PadpLink> desktop(std::unique_ptr<ByteStream> stream, uint32_t rateCap,
                                           const RateSwitch& switchRate);
  // The handheld's end: sends the wakeup offering `maxRate` (again and
  // again for up to `patience`, as a handheld does while nobody answers),
  // then takes the desktop's init and switches.
  static std::unique_ptr<PadpLink> handheld(std::unique_ptr<ByteStream> stream, uint32_t maxRate,
                                            const RateSwitch& switchRate, std::chrono::seconds patience);

  void send(std::span<const uint8_t> packet) override;
  std::vector<uint8_t> receive() override;
  void sendKeepAlive() override;
  const std::string& peer() const override { return stream_->peer(); }
  bool hungUp() override { return stream_->hungUp(); }
  // The line's speed after the opening.
  uint32_t rate() const { return rate_; }
  void setAckWait(std::chrono::milliseconds wait) { ackWait_ = wait; }

 private:
  using Clock = std::chrono::steady_clock;
  PadpLink(std::unique_ptr<ByteStream> stream, bool desktop);

  std::optional<dlp::slp::Packet> nextPacket(Clock::time_point until);
  void sendPacket(std::span<const uint8_t> packet, uint8_t txid, int tries);
  void sendAck(uint8_t txid, const dlp::padp::Header& header);
  void writeFragment(uint8_t txid, std::span<const uint8_t> fragment);
  bool isRepeat(uint8_t txid, const dlp::padp::Header& header) const;

  std::unique_ptr<ByteStream> stream_;
  bool desktop_;
  // Until the opening is done the desktop takes a packet of any number.
  bool opening_ = true;
  bool longForm_ = false;
  uint8_t txid_ = 0xFF;
  uint32_t rate_ = 9600;
  std::chrono::milliseconds ackWait_ = kAckWait;
  dlp::slp::Decoder decoder_;
  // A packet that came while waiting for an ack (the answer overtook it).
  std::optional<dlp::slp::Packet> early_;
  struct LastAck {
    uint8_t txid;
    dlp::padp::Header header;
  };
  std::optional<LastAck> lastAck_;
};

}  // namespace hotsync::detail
