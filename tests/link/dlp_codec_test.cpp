// The link's wire format: argument blocks of each size kind, and packets
// that are short, oversized or lying about their lengths.
#include <gtest/gtest.h>

#include "dlp/messages.h"
#include "dlp/packet.h"
#include "dlp/table.h"

namespace {

using dlp::WireError;

dlp::Response threeArgs() {
  return {dlp::ReadRecord,
          5,
          {{0x20, std::vector<uint8_t>(10, 1)},
           {0x21, std::vector<uint8_t>(300, 2)},
           {0x22, std::vector<uint8_t>(70000, 3)}}};
}

TEST(DlpPacket, ArgumentsOfEachSizeKindKeepTheirBytes) {
  const dlp::Response response = threeArgs();
  const std::vector<uint8_t> wire = dlp::encodeResponse(response);
  // command | 0x80, argument count, error; then a tiny, a short and a long block.
  EXPECT_EQ(std::vector<uint8_t>(wire.begin(), wire.begin() + 6), (std::vector<uint8_t>{0xA0, 3, 0, 5, 0x20, 10}));
  EXPECT_EQ(std::vector<uint8_t>(wire.begin() + 16, wire.begin() + 20), (std::vector<uint8_t>{0xA1, 0, 0x01, 0x2C}));
  EXPECT_EQ(std::vector<uint8_t>(wire.begin() + 320, wire.begin() + 326),
            (std::vector<uint8_t>{0x62, 0, 0, 0x01, 0x11, 0x70}));
  EXPECT_EQ(dlp::decodeResponse(wire), response);

  const dlp::Request request{dlp::WriteRecord, response.args};
  EXPECT_EQ(dlp::decodeRequest(dlp::encodeRequest(request)), request);
  EXPECT_THROW(dlp::decodeRequest(wire), WireError);  // a response is no request
}

TEST(DlpPacket, EveryShortenedPacketIsRefused) {
  const std::vector<uint8_t> wire = dlp::encodeResponse(threeArgs());
  for (std::size_t n = 0; n < wire.size(); n += (n < 400 ? 1 : 997)) {
    EXPECT_THROW(dlp::decodeResponse(std::span(wire).first(n)), WireError) << n;
  }
}

TEST(DlpPacket, LyingLengthsAreRefused) {
  // An argument that claims 200 bytes and carries 3.
  EXPECT_THROW(dlp::decodeRequest(std::vector<uint8_t>{0x17, 1, 0x20, 200, 1, 2, 3}), WireError);
  // A long block claiming 4 GiB.
  EXPECT_THROW(dlp::decodeRequest(std::vector<uint8_t>{0x17, 1, 0x60, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1}), WireError);
  // Two arguments announced, one there; an unknown size kind.
  EXPECT_THROW(dlp::decodeRequest(std::vector<uint8_t>{0x17, 2, 0x20, 1, 9}), WireError);
  EXPECT_THROW(dlp::decodeRequest(std::vector<uint8_t>{0x17, 1, 0xE0, 0, 0, 1, 9}), WireError);
  // A list entry whose size leaves no room for its fields, and a name without its end.
  std::vector<uint8_t> entry{10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  dlp::Reader r(entry);
  EXPECT_THROW(dlp::getDbEntry(r), WireError);
  const std::vector<uint8_t> unended{'a', 'b'};
  dlp::Reader name(unended);
  EXPECT_THROW(name.text(), WireError);
}

TEST(DlpFrame, HeadersAreChecked) {
  const std::vector<uint8_t> payload{1, 2, 3};
  const std::vector<uint8_t> frame = dlp::encodeFrame(dlp::kFrameData, 7, payload);
  EXPECT_EQ(frame, (std::vector<uint8_t>{1, 7, 0, 0, 0, 3, 1, 2, 3}));
  const dlp::FrameHeader h = dlp::decodeFrameHeader(std::span(frame).first(6));
  EXPECT_EQ(h.txid, 7);
  EXPECT_EQ(h.length, 3u);
  EXPECT_THROW(dlp::decodeFrameHeader(std::vector<uint8_t>{1, 7, 0, 0}), WireError);
  EXPECT_THROW(dlp::decodeFrameHeader(std::vector<uint8_t>{9, 7, 0, 0, 0, 0}), WireError);
  EXPECT_THROW(dlp::decodeFrameHeader(std::vector<uint8_t>{2, 0xFF, 0, 0, 0, 1}), WireError);  // keep-alive with data
  EXPECT_THROW(dlp::decodeFrameHeader(std::vector<uint8_t>{1, 1, 0x7F, 0xFF, 0xFF, 0xFF}), WireError);
  EXPECT_THROW(dlp::encodeFrame(dlp::kFrameData, 1, std::vector<uint8_t>(dlp::kMaxFramePayload + 1)), WireError);
}

TEST(DlpRecords, ListEntriesUsersCardsAndDatesCrossTheWire) {
  for (const std::string& name : std::vector<std::string>{"Tarvo News", "Odd", std::string(40, 'x')}) {
    dlp::DbEntry entry{0x40, 0x0008, 0x44415441, 0x54617276, 3, 9, dlp::dateFromPalm(3786912000u), {}, {}, 7, name};
    dlp::Writer w;
    dlp::putDbEntry(w, entry);
    dlp::putDbEntry(w, entry);
    EXPECT_EQ(w.out().size() % 2, 0u);
    dlp::Reader r(w.out());
    entry.name = name.substr(0, 31);
    EXPECT_EQ(dlp::getDbEntry(r), entry);
    EXPECT_EQ(dlp::getDbEntry(r), entry);
  }
  EXPECT_EQ(dlp::dateFromPalm(3786912000u), (dlp::DateTime{2024, 1, 1, 0, 0, 0}));
  EXPECT_EQ(dlp::palmFromDate(dlp::dateFromPalm(3786912345u)), 3786912345u);
  EXPECT_EQ(dlp::palmFromDate(dlp::dateFromPalm(0)), 0u);

  dlp::UserInfo user{1001, 0, 42, {}, dlp::dateFromPalm(3786912000u), "Demo User", {'p', 'w'}};
  dlp::Writer w;
  dlp::putUserInfo(w, user);
  dlp::Reader r(w.out());
  EXPECT_EQ(dlp::getUserInfo(r), user);

  dlp::StorageInfo card;
  card.card = 1;
  card.ramSize = 1 << 24;
  card.name = "Card 1";
  card.maker = "Tarvo";
  card.ramDbCount = 12;
  const dlp::StorageInfo back =
      dlp::msg::ReadStorageInfo::Answer::decode(dlp::msg::ReadStorageInfo::Answer{1, card, true}.encode()).card;
  EXPECT_EQ(back.card, 1);
  EXPECT_EQ(back.ramSize, 1u << 24);
  EXPECT_EQ(back.name + "/" + back.maker, "Card 1/Tarvo");
  EXPECT_EQ(back.ramDbCount, 12);
  EXPECT_THROW(dlp::msg::ReadStorageInfo::Answer::decode({}), WireError);
}

}  // namespace

namespace {

// SetDBInfo as the published layout spells it: handle, pad, flags to clear
// and to set, version, three dates, type, creator, name.
TEST(DlpSetDBInfo, HandWrittenRequestDecodesAndTheNameMayBeLeftOut) {
  const std::vector<uint8_t> fields = {
      7,    0,                              // handle, pad
      0,    0,    0,  0, 0xFF, 0xFF,        // clear, set, version: unchanged
      0,    0,    0,  0, 0,    0,    0, 0,  // created: unchanged
      0,    0,    0,  0, 0,    0,    0, 0,  // modified: unchanged
      0x07, 0xEA, 12, 8, 10,   30,   5, 0,  // backed up: 2026-12-08 10:30:05
      0,    0,    0,  0, 0,    0,    0, 0,  // type, creator: unchanged
  };
  const std::vector<dlp::Arg> args = {{dlp::kFirstArgId, fields}};
  const auto q = dlp::msg::SetDBInfo::Query::decode(args);
  EXPECT_EQ(q.handle, 7);
  EXPECT_EQ(q.version, 0xFFFF);
  EXPECT_EQ(q.created.year, 0);
  EXPECT_EQ(q.backedUp, (dlp::DateTime{2026, 12, 8, 10, 30, 5}));
  EXPECT_EQ(q.type, 0u);
  EXPECT_TRUE(q.name.empty());
  // What the desktop sends is that layout, plus the empty name's zero.
  std::vector<uint8_t> withName = fields;
  withName.push_back(0);
  EXPECT_EQ(q.encode()[0].data, withName);
  EXPECT_THROW(dlp::msg::SetDBInfo::Query::decode(std::vector<dlp::Arg>{{dlp::kFirstArgId, {7, 0, 0}}}), WireError);
}

}  // namespace
