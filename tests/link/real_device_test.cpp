// Our desktop against what real handhelds send: each answer below is written
// byte by byte from the documented layouts of the Desktop Link Protocol, not
// by our own encoder, and replayed by a scripted handheld over a loopback
// network HotSync to the real host program.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "link_world.h"
#include "scripted_handheld.h"
#include "temp_folder.h"

namespace {

using namespace tarvo::test;
using Bytes = std::vector<uint8_t>;

// A response packet: command | 0x80, argument count, 16-bit error, then
// tiny arguments (id, 8-bit length, data).
Bytes packet(uint8_t command, uint16_t error, const std::vector<std::pair<uint8_t, Bytes>>& args = {}) {
  Bytes out = {static_cast<uint8_t>(command | 0x80), static_cast<uint8_t>(args.size()),
               static_cast<uint8_t>(error >> 8), static_cast<uint8_t>(error)};
  for (const auto& [id, data] : args) {
    out.push_back(id);
    out.push_back(static_cast<uint8_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

Bytes withFrame(const Bytes& packetBytes) { return dlp::encodeFrame(dlp::kFrameData, 1, packetBytes); }

void append(Bytes* out, std::initializer_list<uint8_t> bytes) { out->insert(out->end(), bytes); }
void appendText(Bytes* out, const std::string& text) { out->insert(out->end(), text.begin(), text.end()); }

constexpr std::initializer_list<uint8_t> kDate2003 = {0x07, 0xD3, 6, 1, 12, 0, 0, 0};  // year, month, day, h, m, s, pad

// ReadStorageInfo's answer: last card, more, pad, count, then the card
// entry (its size first, the card number, version, created, ROM, RAM and
// free RAM sizes, the two name lengths and the names, padded to even);
// optionally the second argument: ROM and RAM database counts and 16 spare bytes.
Bytes storageInfo(uint8_t cardInEntry, std::optional<uint16_t> ramCount) {
  Bytes entry = {0, cardInEntry, 0x00, 0x01};
  append(&entry, kDate2003);
  append(&entry, {0x00, 0x80, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 7, 4});
  appendText(&entry, "PalmCardPalm");
  if (entry.size() % 2) entry.push_back(0);
  entry[0] = static_cast<uint8_t>(entry.size());
  Bytes first = {0, 0, 0, 1};
  first.insert(first.end(), entry.begin(), entry.end());
  std::vector<std::pair<uint8_t, Bytes>> args = {{0x20, first}};
  if (ramCount) {
    Bytes counts = {0x00, 0x11, static_cast<uint8_t>(*ramCount >> 8), static_cast<uint8_t>(*ramCount)};
    counts.resize(20);
    args.push_back({0x21, counts});
  }
  return packet(0x15, 0, args);
}

// One ReadDBList entry: size, misc flags, flags, type, creator, version,
// modification number, three dates, index, the name with its zero, padded
// to even; `extra` bytes a newer handheld adds after the name.
Bytes dbEntry(uint16_t index, const std::string& name, const std::string& creator, std::size_t extra = 0) {
  Bytes e = {0, 0x00, 0x00, 0x08};
  appendText(&e, "DATA");
  appendText(&e, creator);
  append(&e, {0x00, 0x01, 0x00, 0x00, 0x00, 0x07});
  for (int i = 0; i < 3; ++i) append(&e, kDate2003);
  append(&e, {static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index)});
  appendText(&e, name);
  e.push_back(0);
  e.resize(e.size() + extra, 0xEE);
  if (e.size() % 2) e.push_back(0);
  e[0] = static_cast<uint8_t>(e.size());
  return e;
}

// ReadDBList's answer: last index, flags (0x80: more to come), count, entries.
Bytes dbList(uint16_t last, bool more, const std::vector<Bytes>& entries,
             const std::vector<std::pair<uint8_t, Bytes>>& extraArgs = {}) {
  Bytes first = {static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last), static_cast<uint8_t>(more ? 0x80 : 0),
                 static_cast<uint8_t>(entries.size())};
  for (const Bytes& e : entries) first.insert(first.end(), e.begin(), e.end());
  std::vector<std::pair<uint8_t, Bytes>> args = {{0x20, first}};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  return packet(0x16, 0, args);
}

const std::vector<std::string> kNames = {"MemoDB", "AddressDB", "DatebookDB"};
const std::vector<std::string> kCreators = {"memo", "addr", "date"};

// ReadSysInfo's answer: ROM version, locale, pad, product id length and id;
// with `versions`, the second argument: DLP major and minor, compatible
// major and minor, largest record.
Bytes sysInfo(bool versions) {
  std::vector<std::pair<uint8_t, Bytes>> args = {
      {0x20, {0x05, 0x00, 0x30, 0x00, 0, 0, 0, 0, 0, 4, 'p', 'a', 'l', 'm'}}};
  if (versions) args.push_back({0x21, {0x00, 0x01, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF}});
  return packet(0x12, 0, args);
}

// The answers every handheld gives alike: its user, open/close of the
// three databases (handles 1..3, two records each), records, the end.
Bytes commonAnswer(const dlp::Request& r) {
  const dlp::Arg* arg = r.args.empty() ? nullptr : &r.args[0];
  switch (r.command) {
    case dlp::ReadUserInfo: {
      Bytes user = {0, 0, 0, 42, 0, 0, 0, 0, 0, 0, 0, 0};
      append(&user, kDate2003);
      append(&user, kDate2003);
      append(&user, {9, 0});
      appendText(&user, "Palm Five");
      user.push_back(0);
      return packet(r.command, 0, {{0x20, user}});
    }
    case dlp::OpenConduit:
    case dlp::CloseDB:
    case dlp::AddSyncLogEntry:
    case dlp::EndOfSync:
      return packet(r.command, 0);
    case dlp::OpenDB: {
      const std::string name(arg->data.begin() + 2, std::find(arg->data.begin() + 2, arg->data.end(), uint8_t{0}));
      const auto it = std::find(kNames.begin(), kNames.end(), name);
      if (it == kNames.end()) return packet(r.command, 5);
      return packet(r.command, 0, {{0x20, {static_cast<uint8_t>(it - kNames.begin() + 1)}}});
    }
    case dlp::ReadOpenDBInfo:
      return packet(r.command, 0, {{0x20, {0, 2}}});
    case dlp::ReadRecord: {
      // id, index, size, attributes, category, data
      const uint8_t index = arg->data[3];
      Bytes rec = {0, 0, 0x10, static_cast<uint8_t>(index + 1), 0, index, 0, 5, 0x40, 0};
      appendText(&rec, "note" + std::to_string(index));
      return packet(r.command, 0, {{0x20, rec}});
    }
    default:
      return packet(r.command, 5);  // not found: ReadFeature and the like
  }
}

class RealDevice : public ::testing::Test {
 protected:
  // Runs the host with `args` plus a network port while `answer` plays the handheld.
  ProgramResult run(std::vector<std::string> args, Answer answer) {
    const uint16_t port = freePort();
    args.push_back("--listen=127.0.0.1:" + std::to_string(port));
    ScriptedHandheld handheld(port, std::move(answer), /*scriptConnect=*/true);
    const ProgramResult result = runProgram(TARVO_HOST_BIN, args, env_, 60);
    requests_ = handheld.requests();
    return result;
  }
  ProgramResult sync(Answer answer) {
    return run({"sync", "--no-gui", "--offline", "--conduit", TARVO_STUB_CONDUIT}, std::move(answer));
  }
  std::vector<dlp::Request> requestsFor(uint8_t command) const {
    std::vector<dlp::Request> found;
    std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(found),
                 [&](const dlp::Request& r) { return r.command == command; });
    return found;
  }
  static int lines(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  TempFolder temp_{"tarvo-real-device"};
  std::map<std::string, std::string> env_ = {{"XDG_DATA_HOME", (temp_.path() / "data").string()},
                                             {"XDG_CONFIG_HOME", (temp_.path() / "config").string()},
                                             {"XDG_CACHE_HOME", (temp_.path() / "cache").string()},
                                             {"TARVO_NO_TTY", "1"}};
  std::vector<dlp::Request> requests_;
};

// A Palm OS 5 handheld: DLP 1.2, its card 0 described as card 1, the list
// in two answers joined by the "more" flag.
Bytes palmOs5(const dlp::Request& r) {
  const dlp::Arg* arg = r.find();
  if (r.command == dlp::ReadSysInfo) return sysInfo(true);
  if (r.command == dlp::ReadStorageInfo) return arg->data[0] == 0 ? storageInfo(1, 3) : packet(r.command, 5);
  if (r.command == dlp::ReadDBList) {
    const uint16_t start = static_cast<uint16_t>(arg->data[2] << 8 | arg->data[3]);
    if (arg->data[1] != 0 || start > 2) return packet(r.command, 5);
    if (start < 2) return dbList(1, true, {dbEntry(0, kNames[0], kCreators[0]), dbEntry(1, kNames[1], kCreators[1])});
    return dbList(2, false, {dbEntry(2, kNames[2], kCreators[2])});
  }
  return commonAnswer(r);
}

TEST_F(RealDevice, APalmOs5CardNumberedOtherwiseIsReadAsTheCardAskedFor) {
  const ProgramResult list = run({"handheld", "list"}, [](const dlp::Request& r) { return withFrame(palmOs5(r)); });
  ASSERT_EQ(list.status, 0) << list.err;
  for (const std::string& name : kNames) EXPECT_NE(list.out.find(name), std::string::npos) << list.out;
  EXPECT_EQ(lines(list.err, "warning:"), 1) << list.err;
  EXPECT_NE(list.err.find("card 1 when asked for card 0"), std::string::npos) << list.err;

  // The conduit finds them too, and the warning is said once per HotSync.
  const ProgramResult hotsync = sync([](const dlp::Request& r) { return withFrame(palmOs5(r)); });
  EXPECT_NE(hotsync.out.find("stub: card 0: MemoDB (DATA/memo), AddressDB (DATA/addr), DatebookDB (DATA/date)"),
            std::string::npos)
      << hotsync.out << hotsync.err;
  EXPECT_EQ(lines(hotsync.err, "warning:"), 1) << hotsync.err;
}

TEST_F(RealDevice, DumpOpensOnlyTheDatabaseItShows) {
  const ProgramResult dump =
      run({"handheld", "dump", "AddressDB"}, [](const dlp::Request& r) { return withFrame(palmOs5(r)); });
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_NE(dump.out.find("note1"), std::string::npos) << dump.out;
  const std::vector<dlp::Request> opened = requestsFor(dlp::OpenDB);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(std::string(opened[0].find()->data.begin() + 2, opened[0].find()->data.end() - 1), "AddressDB");
}

TEST_F(RealDevice, ADatabaseInRomIsDumpedWithItsHeaderFromTheRomList) {
  // "Memo Pad" opens by name, but only the ROM list (flag 0x40) holds its entry.
  auto answer = [](const dlp::Request& r) {
    const dlp::Arg* arg = r.find();
    if (r.command == dlp::OpenDB) {
      const std::string name(arg->data.begin() + 2, std::find(arg->data.begin() + 2, arg->data.end(), uint8_t{0}));
      if (name == "Memo Pad") return withFrame(packet(r.command, 0, {{0x20, {9}}}));
    }
    if (r.command == dlp::ReadDBList && (arg->data[0] & 0x40) != 0) {
      const uint16_t start = static_cast<uint16_t>(arg->data[2] << 8 | arg->data[3]);
      if (start > 0) return withFrame(packet(r.command, 5));
      return withFrame(dbList(0, false, {dbEntry(0, "Memo Pad", "memo")}));
    }
    return withFrame(palmOs5(r));
  };
  const ProgramResult dump = run({"handheld", "dump", "Memo Pad"}, answer);
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_NE(dump.out.find("Memo Pad"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("note1"), std::string::npos) << dump.out;
}

TEST_F(RealDevice, AnOlderOrOddHandheldIsAskedInTheOlderFormsAndListedWhole) {
  // It refuses the versioned ReadSysInfo and the request for several list
  // entries, counts no databases, and adds bytes and an argument nobody asked for.
  auto answer = [](const dlp::Request& r) {
    const dlp::Arg* arg = r.find();
    if (r.command == dlp::ReadSysInfo) return withFrame(arg != nullptr ? packet(r.command, 2) : sysInfo(true));
    if (r.command == dlp::ReadStorageInfo)
      return withFrame(arg->data[0] == 0 ? storageInfo(0, {}) : packet(r.command, 5));
    if (r.command == dlp::ReadDBList) {
      if (arg->data[0] & 0x20) return withFrame(packet(r.command, 13));  // not supported
      const uint16_t start = static_cast<uint16_t>(arg->data[2] << 8 | arg->data[3]);
      if (start > 2) return withFrame(packet(r.command, 5));
      return withFrame(
          dbList(start, start < 2, {dbEntry(start, kNames[start], kCreators[start], 6)}, {{0x21, {1, 2, 3, 4}}}));
    }
    return withFrame(commonAnswer(r));
  };
  const ProgramResult list = run({"handheld", "list"}, answer);
  ASSERT_EQ(list.status, 0) << list.err;
  for (const std::string& name : kNames) EXPECT_NE(list.out.find(name), std::string::npos) << list.out;
  int refused = 0;
  for (const dlp::Request& r : requestsFor(dlp::ReadDBList)) refused += (r.find()->data[0] & 0x20) != 0;
  EXPECT_EQ(refused, 1) << "the newer form is asked once, then no more";

  const ProgramResult hotsync = sync(answer);
  EXPECT_NE(hotsync.out.find("stub: card 0: MemoDB (DATA/memo), AddressDB (DATA/addr), DatebookDB (DATA/date)"),
            std::string::npos)
      << hotsync.out << hotsync.err;
}

TEST_F(RealDevice, AHandheldHoldingDatabasesThatDoesNotListThemIsAFailure) {
  for (const uint16_t error : {uint16_t{1}, uint16_t{5}}) {  // system error; "not found" while counting 3
    SCOPED_TRACE(error);
    auto answer = [error](const dlp::Request& r) {
      if (r.command == dlp::ReadSysInfo) return withFrame(sysInfo(true));
      if (r.command == dlp::ReadStorageInfo)
        return withFrame(r.find()->data[0] == 0 ? storageInfo(0, 3) : packet(r.command, 5));
      if (r.command == dlp::ReadDBList) return withFrame(packet(r.command, error));
      return withFrame(commonAnswer(r));
    };
    const ProgramResult list = run({"handheld", "list"}, answer);
    EXPECT_NE(list.status, 0) << list.out;
    EXPECT_EQ(lines(list.err, "tarvo-hotsync: "), 1) << list.err;
    EXPECT_NE(list.err.find("list"), std::string::npos) << list.err;

    const ProgramResult hotsync = sync(answer);
    EXPECT_EQ(hotsync.status, 8) << hotsync.out << hotsync.err;
    EXPECT_EQ(hotsync.out.find("HotSync complete"), std::string::npos) << hotsync.out;
  }
}

}  // namespace
