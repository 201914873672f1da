// Both ends of the serial link in this process over a socket pair: the
// opening picks the speed, long packets cross in fragments, a line that
// loses and garbles packets still delivers each packet once, and a peer
// that goes silent, hangs up or speaks another version ends the link with
// a reason.
#include <fcntl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <optional>

#include "dlp/slp/cmp.h"
#include "dlp/slp/padp.h"
#include "dlp/slp/slp.h"
#include "link/net/net_link.h"
#include "link/port_wait.h"
#include "link/serial/first_bytes.h"
#include "link/serial/padp_link.h"
#include "link/serial/replay_stream.h"

namespace {

using hotsync::detail::ByteStream;
using hotsync::detail::FdStream;
using hotsync::detail::LinkError;
using hotsync::detail::PadpLink;
using Bytes = std::vector<uint8_t>;

// A line that spoils some of what is written: `spoil(n)` for the n-th write
// (from 0) says whether to drop it (1), garble one byte of it (2) or let it
// through (0).
class SpoilingStream : public ByteStream {
 public:
  SpoilingStream(std::unique_ptr<ByteStream> inner, std::function<int(int)> spoil)
      : inner_(std::move(inner)), spoil_(std::move(spoil)) {}
  std::size_t readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) override {
    return inner_->readSome(out, timeout);
  }
  void writeAll(std::span<const uint8_t> bytes) override {
    // Each write is one packet; its transaction number follows the preamble
    // and four header bytes.
    if (bytes.size() > 8) txids.push_back(bytes[8]);
    const int what = spoil_ ? spoil_(writes_++) : 0;
    if (what == 1) return;
    Bytes copy(bytes.begin(), bytes.end());
    if (what == 2) copy[copy.size() / 2] ^= 0x5A;
    inner_->writeAll(copy);
  }
  const std::string& peer() const override { return inner_->peer(); }
  void interrupt() override { inner_->interrupt(); }

  std::vector<uint8_t> txids;  // of every packet written, in order

 private:
  std::unique_ptr<ByteStream> inner_;
  std::function<int(int)> spoil_;
  int writes_ = 0;
};

struct Line {
  std::unique_ptr<ByteStream> desktop, handheld;
};

Line makeLine(std::function<int(int)> desktopSpoils = {}, std::function<int(int)> handheldSpoils = {}) {
  int fds[2];
  EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  return {std::make_unique<SpoilingStream>(std::make_unique<FdStream>(fds[0], "the handheld"), desktopSpoils),
          std::make_unique<SpoilingStream>(std::make_unique<FdStream>(fds[1], "the desktop"), handheldSpoils)};
}

Bytes pattern(std::size_t n, uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 13);
  return b;
}

// One end played by hand, packet by packet, so a test can send what a real
// end sends only when the line loses acks, or never.
class HandEnd {
 public:
  explicit HandEnd(std::unique_ptr<ByteStream> stream) : stream_(std::move(stream)) {}

  struct Seen {
    uint8_t txid = 0;
    dlp::padp::Header header;
    Bytes data;
  };
  // The next PADP packet from the other end; throws LinkError after a long silence.
  Seen next() {
    for (;;) {
      while (auto p = decoder_.next()) {
        const dlp::padp::Fragment f = dlp::padp::decode(p->body);
        return {p->header.txid, f.header, Bytes(f.data.begin(), f.data.end())};
      }
      uint8_t buf[512];
      decoder_.feed(std::span<const uint8_t>(buf, stream_->readSome(buf, std::chrono::seconds(20))));
    }
  }
  void writeRaw(std::span<const uint8_t> bytes) { stream_->writeAll(bytes); }
  // One packet carrying `fragment` (a PADP header and its data).
  void write(uint8_t txid, std::span<const uint8_t> fragment) {
    stream_->writeAll(dlp::slp::encodePacket({3, 3, dlp::slp::kTypePadp, 0, txid}, fragment));
  }
  void request(uint8_t txid, const Bytes& packet) {
    const dlp::padp::Header whole{dlp::padp::kData, dlp::padp::kFirst | dlp::padp::kLast,
                                  static_cast<uint32_t>(packet.size())};
    write(txid, dlp::padp::encode(whole, packet));
  }
  bool nextIsAckOf(uint8_t txid) {
    const Seen seen = next();
    return seen.header.type == dlp::padp::kAck && seen.txid == txid;
  }
  // As the desktop: answers the wakeup with an init at the starting speed.
  void openAsDesktop() {
    const Seen wakeup = next();
    ASSERT_EQ(wakeup.header.type, dlp::padp::kData);
    write(wakeup.txid, dlp::padp::ackFor(wakeup.header));
    dlp::cmp::Message init;
    init.type = dlp::cmp::kInit;
    request(wakeup.txid, dlp::cmp::encode(init));
    ASSERT_TRUE(nextIsAckOf(wakeup.txid));
  }

 private:
  std::unique_ptr<ByteStream> stream_;
  dlp::slp::Decoder decoder_;
};

// The handheld answers each request with the request reversed, `rounds` times.
void echoRounds(PadpLink& handheld, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    Bytes request = handheld.receive();
    std::reverse(request.begin(), request.end());
    handheld.send(request);
  }
}

TEST(PadpLink, OpensAtTheAgreedSpeedAndCarriesLongPackets) {
  Line line = makeLine();
  std::atomic<uint32_t> handheldSwitched{0};
  auto handheldEnd = std::async(std::launch::async, [&] {
    auto hh = PadpLink::handheld(
        std::move(line.handheld), 57600, [&](uint32_t r) { handheldSwitched = r; }, std::chrono::seconds(5));
    echoRounds(*hh, 4);
    return hh->rate();
  });
  uint32_t desktopSwitched = 0;
  auto desktop = PadpLink::desktop(std::move(line.desktop), 38400, [&](uint32_t r) { desktopSwitched = r; });
  EXPECT_EQ(desktop->rate(), 38400u);
  EXPECT_EQ(desktopSwitched, 38400u);
  for (std::size_t size : {std::size_t{0}, std::size_t{1024}, std::size_t{5000}, std::size_t{70000}}) {
    const Bytes request = pattern(size, static_cast<uint8_t>(size));
    desktop->send(request);
    Bytes answer = desktop->receive();
    std::reverse(answer.begin(), answer.end());
    EXPECT_EQ(answer, request) << size;
  }
  EXPECT_EQ(handheldEnd.get(), 38400u);
  EXPECT_EQ(handheldSwitched, 38400u);
}

TEST(PadpLink, LostAndGarbledPacketsAreSentAgainAndDeliveredOnce) {
  // Every third write of the desktop lost, every fourth of the handheld
  // garbled: requests, answers and acks alike. The last round goes clean,
  // since an ack lost after the last answer has nobody left to resend it.
  std::atomic<bool> spoiling{true};
  Line line = makeLine([&](int n) { return spoiling && n % 3 == 2 ? 1 : 0; },
                       [&](int n) { return spoiling && n % 4 == 3 ? 2 : 0; });
  constexpr int kRounds = 7;
  auto handheldEnd = std::async(std::launch::async, [&] {
    auto hh = PadpLink::handheld(std::move(line.handheld), 115200, {}, std::chrono::seconds(5));
    hh->setAckWait(std::chrono::milliseconds(50));
    echoRounds(*hh, kRounds);
  });
  auto desktop = PadpLink::desktop(std::move(line.desktop), 0, {});
  desktop->setAckWait(std::chrono::milliseconds(50));
  for (int round = 0; round < kRounds; ++round) {
    if (round == kRounds - 1) spoiling = false;
    const Bytes request = pattern(300 + round * 700, static_cast<uint8_t>(round));
    desktop->send(request);
    Bytes answer = desktop->receive();
    std::reverse(answer.begin(), answer.end());
    ASSERT_EQ(answer, request) << round;
  }
  handheldEnd.get();
}

// A desktop whose ack was lost sends its packet again: the handheld acks
// it again, while it waits for a request and while it waits for the ack of
// its own answer, and takes it only once.
TEST(PadpLink, ARepeatedPacketIsAcknowledgedAgainAndTakenOnce) {
  Line line = makeLine();
  auto handheldEnd = std::async(std::launch::async, [&] {
    auto hh = PadpLink::handheld(std::move(line.handheld), 9600, {}, std::chrono::seconds(5));
    std::vector<Bytes> taken{hh->receive(), hh->receive()};
    hh->send(Bytes{9, 9});
    return taken;
  });
  HandEnd desktop(std::move(line.desktop));  // gone first: a failed test ends the handheld too
  desktop.openAsDesktop();
  desktop.request(1, {1, 2, 3});
  ASSERT_TRUE(desktop.nextIsAckOf(1));
  desktop.request(1, {1, 2, 3});
  ASSERT_TRUE(desktop.nextIsAckOf(1)) << "the repeat was not acknowledged";
  desktop.request(2, {4, 5});
  ASSERT_TRUE(desktop.nextIsAckOf(2));
  const HandEnd::Seen answer = desktop.next();
  EXPECT_EQ(answer.txid, 2);
  EXPECT_EQ(answer.data, (Bytes{9, 9}));
  desktop.request(2, {4, 5});
  HandEnd::Seen seen = desktop.next();
  while (seen.header.type == dlp::padp::kData) seen = desktop.next();  // the answer again, unacknowledged
  EXPECT_EQ(seen.header.type, dlp::padp::kAck);
  EXPECT_EQ(seen.txid, 2);
  desktop.write(answer.txid, dlp::padp::ackFor(answer.header));
  EXPECT_EQ(handheldEnd.get(), (std::vector<Bytes>{{1, 2, 3}, {4, 5}}));
}

// Transaction numbers run from 1 to 0xFE and start again at 1, as other
// desktops number them: 0xFF belongs to the opening, 0 is never used.
TEST(PadpLink, TransactionNumbersWrapPast0xFE) {
  Line line = makeLine();
  auto* desktopLine = static_cast<SpoilingStream*>(line.desktop.get());
  constexpr int kRounds = 300;
  auto handheldEnd = std::async(std::launch::async, [&] {
    auto hh = PadpLink::handheld(std::move(line.handheld), 115200, {}, std::chrono::seconds(5));
    echoRounds(*hh, kRounds);
  });
  auto desktop = PadpLink::desktop(std::move(line.desktop), 0, {});
  for (int round = 0; round < kRounds; ++round) {
    const Bytes request = pattern(4, static_cast<uint8_t>(round));
    desktop->send(request);
    Bytes answer = desktop->receive();
    std::reverse(answer.begin(), answer.end());
    ASSERT_EQ(answer, request) << round;
  }
  handheldEnd.get();
  // The desktop writes its init, then per round a request and the ack of the answer.
  const std::vector<uint8_t>& txids = desktopLine->txids;
  ASSERT_EQ(txids.size(), 2u + 2 * kRounds);
  EXPECT_EQ(txids[0], 0xFF);
  for (int round = 0; round < kRounds; ++round) {
    const int want = round % 254 + 1;
    ASSERT_EQ(txids[2 + 2 * round], want) << round;
    ASSERT_EQ(txids[3 + 2 * round], want) << round;
  }
}

TEST(PadpLink, APeerThatGoesAwayEndsTheLink) {
  Line line = makeLine();
  auto handheldEnd = std::async(std::launch::async, [&] {
    auto hh = PadpLink::handheld(std::move(line.handheld), 9600, {}, std::chrono::seconds(5));
    hh->receive();  // acknowledged, never answered
    return hh;
  });
  auto desktop = PadpLink::desktop(std::move(line.desktop), 0, {});
  desktop->setAckWait(std::chrono::milliseconds(20));
  desktop->setTimeout(std::chrono::milliseconds(200));
  desktop->send(Bytes{1, 2, 3});
  EXPECT_THROW(desktop->receive(), LinkError);
  auto handheld = handheldEnd.get();
  EXPECT_THROW(desktop->send(Bytes{4}), LinkError);  // not even acknowledged now
  handheld.reset();                                  // hung up
  try {
    desktop->send(Bytes{5});
    FAIL() << "sent to nobody";
  } catch (const LinkError& e) {
    EXPECT_NE(std::string(e.what()).find("the handheld"), std::string::npos) << e.what();
  }
}

TEST(PadpLink, AHandheldOfAnotherVersionIsRefused) {
  Line line = makeLine();
  // A wakeup of version 2.0, written by hand into one packet.
  const Bytes wakeup = dlp::slp::encodePacket(
      {3, 3, dlp::slp::kTypePadp, 0, 0xFF},
      dlp::padp::encode({dlp::padp::kData, 0xC0, 10}, Bytes{0x01, 0x00, 0x02, 0x00, 0, 0, 0, 0, 0xE1, 0x00}));
  line.handheld->writeAll(wakeup);
  auto handheld = std::move(line.handheld);
  auto reader = std::async(std::launch::async, [&] {
    // The desktop acks the wakeup, then aborts; ack the abort so it returns.
    dlp::slp::Decoder d;
    uint8_t buf[256];
    for (;;) {
      const std::size_t n = handheld->readSome(buf, std::chrono::seconds(10));
      d.feed(std::span<const uint8_t>(buf, n));
      while (auto p = d.next()) {
        const auto f = dlp::padp::decode(p->body);
        if (f.header.type != dlp::padp::kData) continue;
        handheld->writeAll(dlp::slp::encodePacket(p->header, dlp::padp::ackFor(f.header)));
        return dlp::cmp::decode(f.data);
      }
    }
  });
  try {
    PadpLink::desktop(std::move(line.desktop), 0, {});
    FAIL() << "accepted version 2.0";
  } catch (const LinkError& e) {
    EXPECT_NE(std::string(e.what()).find("2.0"), std::string::npos) << e.what();
  }
  const dlp::cmp::Message abort = reader.get();
  EXPECT_EQ(abort.type, dlp::cmp::kAbort);
  EXPECT_EQ(abort.flags, dlp::cmp::kAbortVersion);
}

// Reads the next PADP data packet the desktop writes, acking nothing.
std::optional<dlp::slp::Packet> nextData(ByteStream& stream, dlp::slp::Decoder& decoder) {
  uint8_t buf[512];
  for (;;) {
    while (auto p = decoder.next()) {
      if (dlp::padp::decode(p->body).header.type == dlp::padp::kData) return p;
    }
    std::size_t n = 0;
    try {
      n = stream.readSome(buf, std::chrono::seconds(30));
    } catch (const LinkError&) {
      return std::nullopt;
    }
    decoder.feed(std::span<const uint8_t>(buf, n));
  }
}

TEST(PadpLink, AnInitAckWithBytesAfterItsFieldsOpensTheLinkAtOnce) {
  // A Palm OS 4.1 handheld in a cradle, byte for byte: its ack of the init
  // carries two more bytes, and it moves to the granted speed right after
  // it. An init sent again would go out at the old speed and be lost, so
  // the next packet it sees must be the first request.
  Line line = makeLine();
  auto handheld = std::move(line.handheld);
  auto handheldEnd = std::async(std::launch::async, [&]() -> uint8_t {
    handheld->writeAll(dlp::slp::encodePacket(
        {3, 3, dlp::slp::kTypePadp, 0, 0xFF},
        dlp::padp::encode({dlp::padp::kData, 0xC0, 10}, Bytes{0x01, 0x00, 0x01, 0x01, 0, 0, 0, 0, 0xE1, 0x00})));
    dlp::slp::Decoder decoder;
    auto init = nextData(*handheld, decoder);
    if (!init || dlp::cmp::decode(dlp::padp::decode(init->body).data).type != dlp::cmp::kInit) return 0;
    handheld->writeAll(
        dlp::slp::encodePacket({3, 3, dlp::slp::kTypePadp, 0, 0xFF}, Bytes{0x02, 0xC0, 0x00, 0x0A, 0xB2, 0x60}));
    auto next = nextData(*handheld, decoder);
    if (!next) return 0;
    const uint8_t txid = next->header.txid;
    handheld->writeAll(dlp::slp::encodePacket(next->header, dlp::padp::ackFor(dlp::padp::decode(next->body).header)));
    handheld.reset();  // a repeated init ends the desktop's wait at once
    return txid;
  });
  uint32_t switched = 0;
  auto desktop = PadpLink::desktop(std::move(line.desktop), 0, [&](uint32_t r) { switched = r; });
  EXPECT_EQ(switched, 57600u);
  EXPECT_NO_THROW(desktop->send(Bytes{1, 2, 3}));
  EXPECT_NE(handheldEnd.get(), 0xFF) << "the init was sent again";
}

// Noise and headers claiming 64 KiB bodies must not make the desktop wait
// for bytes that never come: the wakeup right after them is answered
// without another byte from the handheld.
TEST(PadpLink, NoiseAndOversizedHeadersDoNotHoldUpTheWakeupAfterThem) {
  Line line = makeLine();
  auto desktopEnd = std::async(std::launch::async, [&] { return PadpLink::desktop(std::move(line.desktop), 0, {}); });
  HandEnd handheld(std::move(line.handheld));  // gone first: a failed test ends the desktop too
  Bytes junk = dlp::slp::encodePacket({3, 3, 2, 0, 1}, Bytes(2000, 0xAA));
  junk[6] = 0xFF;
  junk[7] = 0xFF;
  junk[9] = 0;
  for (uint8_t b : std::span(junk).first(9)) junk[9] = static_cast<uint8_t>(junk[9] + b);
  for (int i = 0; i < 200; ++i) handheld.writeRaw(junk);
  dlp::cmp::Message wakeup;
  handheld.request(0xFF, dlp::cmp::encode(wakeup));
  ASSERT_TRUE(handheld.nextIsAckOf(0xFF));
  const HandEnd::Seen init = handheld.next();
  EXPECT_EQ(dlp::cmp::decode(init.data).type, dlp::cmp::kInit);
  handheld.write(init.txid, dlp::padp::ackFor(init.header));
  EXPECT_NO_THROW(desktopEnd.get());
}

// A pseudo-terminal: the handheld's end is the master, the desktop opens
// the other end by its name.
struct Pty {
  int master = -1;
  int slave = -1;  // held open, raw, so what the handheld writes early stays as written
  std::string name;
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    name = ::ptsname(master);
    slave = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
  }
  ~Pty() {
    if (slave >= 0) ::close(slave);
  }
};

TEST(SerialPort, AHandheldSpeakingNetworkFramesOnATtyIsUnderstood) {
  Pty pty;
  ASSERT_GE(pty.slave, 0);
  // Line noise, then network HotSync frames, as some USB handhelds send them
  // through the kernel's USB-serial driver.
  auto handheldEnd = std::async(std::launch::async, [&] {
    auto stream = std::make_unique<FdStream>(pty.master, "the desktop");
    const uint8_t noise[] = {0x00, 0xFF, 0x7E};
    stream->writeAll(noise);
    auto hh = hotsync::detail::NetLink::handheld(std::move(stream));
    Bytes request = hh->receive();
    std::reverse(request.begin(), request.end());
    hh->send(request);
    return hh;  // closing the pty's master would throw away what the desktop did not read yet
  });
  hotsync::detail::PortName named;
  named.kind = hotsync::detail::PortName::Tty;
  named.path = pty.name;
  hotsync::detail::PortWait wait;
  wait.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto desktop = hotsync::detail::openSerialLink(named, nullptr, wait, {});
  desktop->send(Bytes{1, 2, 3});
  EXPECT_EQ(desktop->receive(), (Bytes{3, 2, 1}));
  handheldEnd.get();
}

TEST(SerialPort, NoHandheldWithinTheWaitLimit) {
  Pty pty;
  ASSERT_GE(pty.slave, 0);
  hotsync::detail::PortName named;
  named.kind = hotsync::detail::PortName::Tty;
  named.path = pty.name;
  hotsync::detail::PortWait wait;
  wait.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  EXPECT_THROW(hotsync::detail::openSerialLink(named, nullptr, wait, {}), hotsync::detail::NoHandheldCame);
  named.path = "/nonexistent/tty";
  try {
    hotsync::detail::openSerialLink(named, nullptr, wait, {});
    FAIL() << "opened a missing tty";
  } catch (const LinkError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/tty"), std::string::npos) << e.what();
    // Which ttys there are and how the other ports are named.
    EXPECT_NE(std::string(e.what()).find("/dev/tty"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("usb:"), std::string::npos) << e.what();
  }
}

TEST(SerialPort, AnUnansweredInitIsSentAgainAfterOneAckWait) {
  // The opening reads through a stream that also watches for a stop; its
  // wait must be the one asked for, not that wait twice over.
  Pty pty;
  ASSERT_GE(pty.slave, 0);
  int stop[2];
  ASSERT_EQ(::pipe(stop), 0);
  hotsync::detail::ReplayStream replay(std::make_unique<FdStream>(::dup(pty.slave), "the handheld"), {});
  replay.stopOn(pty.slave, stop[0]);
  uint8_t buf[16];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(replay.readSome(buf, std::chrono::milliseconds(1000)), LinkError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
  ::close(stop[0]);
  ::close(stop[1]);
}

TEST(FirstBytes, TellsSerialFromNetworkFramesAfterNoise) {
  using hotsync::detail::FirstBytes;
  using hotsync::detail::recogniseFraming;
  const auto serial = recogniseFraming(Bytes{0x00, 0xBE, 0x12, 0xBE, 0xEF, 0xED, 0x03});
  EXPECT_EQ(serial.framing, FirstBytes::Serial);
  EXPECT_EQ(serial.noise, 3u);
  // A hello in a data frame: type 1, txid 0xFF, length 22, then 0x90.
  const auto framed = recogniseFraming(Bytes{0x7E, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x16, 0x90, 0x01});
  EXPECT_EQ(framed.framing, FirstBytes::Network);
  EXPECT_EQ(framed.noise, 1u);
  // Not yet decided: a partial preamble or frame header waits for more.
  EXPECT_EQ(recogniseFraming(Bytes{0x42, 0xBE, 0xEF}).noise, 1u);
  EXPECT_EQ(recogniseFraming(Bytes{0x01, 0xFF, 0x00}).framing, FirstBytes::Unknown);
  EXPECT_EQ(recogniseFraming(Bytes{0x01, 0xFF, 0x00, 0x00, 0x00, 0x16, 0x33}).noise, 7u);
}

}  // namespace
