// The serial link's codecs, checked against packets written out byte by
// byte as they appear on the line (a handheld's wakeup and the desktop's
// ack of it), and against line noise and lying lengths.
#include <gtest/gtest.h>

#include <string_view>

#include "dlp/slp/cmp.h"
#include "dlp/slp/padp.h"
#include "dlp/slp/slp.h"

namespace {

using Bytes = std::vector<uint8_t>;
using dlp::WireError;

// A handheld's wakeup: SLP to and from socket 3, type PADP, txid 0xFF; a
// single PADP fragment of 10 bytes; CMP version 1.1 offering 57600 baud and
// the long PADP form.
const Bytes kWakeup = {0xBE, 0xEF, 0xED, 0x03, 0x03, 0x02, 0x00, 0x0E, 0xFF, 0xAF, 0x01, 0xC0, 0x00,
                       0x0A, 0x01, 0x10, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE1, 0x00, 0x69, 0x48};
// The desktop's ack of it.
const Bytes kWakeupAck = {0xBE, 0xEF, 0xED, 0x03, 0x03, 0x02, 0x00, 0x04,
                          0xFF, 0xA5, 0x02, 0xC0, 0x00, 0x0A, 0x1A, 0x85};

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Slp, DecodesAndEncodesTheLineBytes) {
  const std::string_view check = "123456789";
  EXPECT_EQ(dlp::slp::crc16({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0x31C3);

  dlp::slp::Decoder decoder;
  decoder.feed(kWakeup);
  const auto packet = decoder.next();
  ASSERT_TRUE(packet);
  EXPECT_EQ(packet->header, (dlp::slp::Header{3, 3, dlp::slp::kTypePadp, 14, 0xFF}));
  EXPECT_EQ(packet->body, Bytes(kWakeup.begin() + 10, kWakeup.end() - 2));
  EXPECT_FALSE(decoder.next());

  EXPECT_EQ(dlp::slp::encodePacket({3, 3, dlp::slp::kTypePadp, 0, 0xFF}, Bytes{0x02, 0xC0, 0x00, 0x0A}), kWakeupAck);
}

TEST(Slp, FindsTheNextPacketAfterNoiseAndBadPackets) {
  Bytes badCrc = kWakeup;
  badCrc[15] ^= 0x01;
  Bytes badSum = kWakeupAck;
  badSum[9] ^= 0x01;
  // A header whose checksum holds but claims more than a fragment can be.
  Bytes tooLong = {0xBE, 0xEF, 0xED, 0x03, 0x03, 0x02, 0xFF, 0xFF, 0x01};
  uint8_t sum = 0;
  for (uint8_t b : tooLong) sum = static_cast<uint8_t>(sum + b);
  tooLong.push_back(sum);
  const Bytes line =
      join({{0x00, 0xBE, 0xEF, 0x7F}, badCrc, kWakeupAck, {0xBE, 0xEF}, badSum, tooLong, kWakeup, {0xBE}});

  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, line.size()}) {
    dlp::slp::Decoder decoder(dlp::padp::kMaxBody);
    std::vector<dlp::slp::Packet> found;
    for (std::size_t at = 0; at < line.size(); at += chunk) {
      decoder.feed(std::span(line).subspan(at, std::min(chunk, line.size() - at)));
      while (auto p = decoder.next()) found.push_back(std::move(*p));
    }
    ASSERT_EQ(found.size(), 2u) << "chunk " << chunk;
    EXPECT_EQ(found[0].body, Bytes(kWakeupAck.begin() + 10, kWakeupAck.end() - 2));
    EXPECT_EQ(found[1].body, Bytes(kWakeup.begin() + 10, kWakeup.end() - 2));
    EXPECT_EQ(decoder.buffered(), 1u);  // the trailing 0xBE may start a preamble
  }
}

TEST(Padp, ReadsBothSizeForms) {
  const Bytes shortForm = {0x01, 0xC0, 0x01, 0x02, 0xAA};
  auto f = dlp::padp::decode(shortForm);
  EXPECT_EQ(f.header, (dlp::padp::Header{dlp::padp::kData, 0xC0, 0x0102}));
  EXPECT_EQ(Bytes(f.data.begin(), f.data.end()), Bytes{0xAA});

  const Bytes longForm = {0x01, 0x90, 0x00, 0x01, 0x00, 0x00, 0xBB};
  f = dlp::padp::decode(longForm);
  EXPECT_EQ(f.header, (dlp::padp::Header{dlp::padp::kData, 0x90, 0x10000}));
  EXPECT_EQ(f.data.size(), 1u);

  EXPECT_EQ(dlp::padp::ackFor(dlp::padp::decode(shortForm).header), (Bytes{0x02, 0xC0, 0x01, 0x02}));
  EXPECT_THROW(dlp::padp::decode(Bytes{0x01, 0x90, 0x00}), WireError);
  // A Palm OS 4.1 handheld's ack of an init: two bytes after the fields.
  f = dlp::padp::decode(Bytes{0x02, 0xC0, 0x00, 0x0A, 0xB2, 0x60});
  EXPECT_EQ(f.header, (dlp::padp::Header{dlp::padp::kAck, 0xC0, 10}));
  EXPECT_TRUE(f.data.empty());
  EXPECT_THROW(dlp::padp::decode(Bytes(4 + 1025, 0x01)), WireError);
}

TEST(Padp, SplitsAndReassemblesALongPacket) {
  Bytes packet(2500);
  for (std::size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<uint8_t>(i);
  const auto fragments = dlp::padp::split(packet, false);
  ASSERT_EQ(fragments.size(), 3u);
  // Flags, then the total length in the first fragment and the offset after.
  EXPECT_EQ(Bytes(fragments[0].begin(), fragments[0].begin() + 4), (Bytes{0x01, 0x80, 0x09, 0xC4}));
  EXPECT_EQ(Bytes(fragments[1].begin(), fragments[1].begin() + 4), (Bytes{0x01, 0x00, 0x04, 0x00}));
  EXPECT_EQ(Bytes(fragments[2].begin(), fragments[2].begin() + 4), (Bytes{0x01, 0x40, 0x08, 0x00}));
  EXPECT_EQ(fragments[2].size(), 4u + 452u);

  using Step = dlp::padp::Reassembler::Step;
  dlp::padp::Reassembler r(4096);
  EXPECT_EQ(r.add(dlp::padp::decode(fragments[0])), Step::More);
  EXPECT_EQ(r.add(dlp::padp::decode(fragments[0])), Step::Repeat);  // its ack was lost
  EXPECT_EQ(r.add(dlp::padp::decode(fragments[1])), Step::More);
  EXPECT_EQ(r.add(dlp::padp::decode(fragments[1])), Step::Repeat);
  EXPECT_EQ(r.add(dlp::padp::decode(fragments[2])), Step::Done);
  EXPECT_EQ(r.take(), packet);

  EXPECT_EQ(dlp::padp::split(Bytes{}, false).front(), (Bytes{0x01, 0xC0, 0x00, 0x00}));
  EXPECT_THROW(dlp::padp::split(Bytes(70000), false), WireError);
  EXPECT_EQ(dlp::padp::split(Bytes(70000), true).front()[1], 0x90);
}

TEST(Padp, RefusesFragmentsThatDoNotFit) {
  const auto fragments = dlp::padp::split(Bytes(2500, 7), false);
  auto refused = [](std::initializer_list<const Bytes*> seq, std::size_t max = 4096) {
    dlp::padp::Reassembler r(max);
    try {
      for (const Bytes* f : seq) r.add(dlp::padp::decode(*f));
    } catch (const WireError&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(refused({&fragments[0]}, 2000));               // longer than allowed
  EXPECT_TRUE(refused({&fragments[1]}));                     // no start
  EXPECT_TRUE(refused({&fragments[0], &fragments[2]}));      // one missing
  const Bytes lastTooSoon = {0x01, 0x40, 0x04, 0x00, 0x01};  // ends at 1025 of 2500
  EXPECT_TRUE(refused({&fragments[0], &lastTooSoon}));
  const Bytes runsPast = {0x01, 0xC0, 0x00, 0x01, 0x01, 0x02};  // 2 bytes in a 1-byte packet
  EXPECT_TRUE(refused({&runsPast}));
}

TEST(Cmp, AnswersAWakeupWithTheSlowerSpeed) {
  const Bytes wakeupBody(kWakeup.begin() + 14, kWakeup.end() - 2);
  const dlp::cmp::Message wakeup = dlp::cmp::decode(wakeupBody);
  EXPECT_EQ(wakeup, (dlp::cmp::Message{dlp::cmp::kWakeup, 0x10, 1, 1, 57600}));
  EXPECT_EQ(dlp::cmp::encode(wakeup), wakeupBody);

  // No cap: the handheld's maximum; the long form is granted as offered.
  EXPECT_EQ(dlp::cmp::encode(dlp::cmp::answerWakeup(wakeup, 0)),
            (Bytes{0x02, 0x90, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE1, 0x00}));
  EXPECT_EQ(dlp::cmp::answerWakeup(wakeup, 19200).rate, 19200u);
  EXPECT_EQ(dlp::cmp::answerWakeup(wakeup, 50000).rate, 38400u);  // the next standard speed down
  dlp::cmp::Message slow = wakeup;
  slow.rate = 9600;
  slow.flags = 0;
  EXPECT_EQ(dlp::cmp::answerWakeup(slow, 115200).flags, 0);  // nothing to change
  EXPECT_EQ(dlp::cmp::chooseRate(460800, 0), 460800u);
  EXPECT_EQ(dlp::cmp::chooseRate(1200, 0), 9600u);

  for (uint8_t major : {0, 2}) {
    dlp::cmp::Message other = wakeup;
    other.major = major;
    const dlp::cmp::Message abort = dlp::cmp::answerWakeup(other, 0);
    EXPECT_EQ(abort.type, dlp::cmp::kAbort);
    EXPECT_EQ(abort.flags, dlp::cmp::kAbortVersion);
  }
  EXPECT_THROW(dlp::cmp::decode(Bytes(9)), WireError);
}

}  // namespace
