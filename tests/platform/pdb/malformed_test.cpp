// Damaged images are refused with one clear line and never read past
// their end (this suite runs under AddressSanitizer).
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <ostream>

#include "image_builder.h"
#include "pdb/pdb.h"
#include "temp_folder.h"

namespace pdb {
namespace {

void setU32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void setU16(std::vector<uint8_t>& b, std::size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

// Offsets inside test::recordImage(2): list at 78 (entries at 78, 86, 94),
// app info 104, sort info 106, records 110 and 113 (twice); 119 bytes.
struct Case {
  const char* label;
  void (*damage)(std::vector<uint8_t>&);
  const char* expected;    // part of the message
  bool resources = false;  // damage test::resourceImage() instead
};

const Case kCases[] = {
    {"shorter than a header", [](auto& b) { b.resize(50); }, "shorter than the 78-byte header"},
    {"name without terminator", [](auto& b) { std::fill_n(b.begin(), 32, 'A'); }, "no terminating zero"},
    {"chained list", [](auto& b) { setU32(b, 72, 0x200); }, "chained"},
    {"count larger than the file", [](auto& b) { setU16(b, 76, 0xFFFF); }, "65535 entries needs"},
    {"record inside the list", [](auto& b) { setU32(b, 78, 80); }, "record 0 offset 80 lies inside"},
    {"record past the end", [](auto& b) { setU32(b, 94, 120); }, "record 2 offset 120 is past the end"},
    {"records out of order", [](auto& b) { setU32(b, 86, 109); }, "record 1 offset 109 comes before entry 0"},
    {"app info inside the header", [](auto& b) { setU32(b, 52, 40); }, "app info offset 40 lies inside"},
    {"app info past the end", [](auto& b) { setU32(b, 52, 0x10000); }, "app info offset 65536 is past the end"},
    {"sort info inside the list", [](auto& b) { setU32(b, 56, 90); }, "sort info offset 90 lies inside"},
    {"sort info past the end", [](auto& b) { setU32(b, 56, 0xFFFFFFFF); }, "offset 4294967295 is past the end"},
    {"app info on a record", [](auto& b) { setU32(b, 52, 110); }, "app info offset 110 is also the offset of entry 0"},
    {"app info and sort info together", [](auto& b) { setU32(b, 56, 104); }, "share offset 104"},
    {"resources out of order", [](auto& b) { setU32(b, 94, 99); }, "resource 1 offset 99 comes before entry 0", true},
    {"resource list cut short", [](auto& b) { b.resize(90); }, "resource list of 2 entries needs 98 bytes", true},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

class Malformed : public ::testing::TestWithParam<Case> {};

TEST_P(Malformed, IsRefusedWithOneLine) {
  std::vector<uint8_t> image = GetParam().resources ? test::resourceImage() : test::recordImage(2);
  GetParam().damage(image);
  try {
    parse(image);
    FAIL() << "accepted";
  } catch (const FormatError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find(GetParam().expected), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(Images, Malformed, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name = info.param.label;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
});

// Every prefix of a valid image either parses (the tail was data of the last
// block) or is refused; no other outcome and no read past the prefix.
TEST(Truncated, EveryPrefixParsesOrIsRefused) {
  for (const auto& image : {test::recordImage(2), test::recordImage(0), test::resourceImage()}) {
    for (std::size_t n = 0; n < image.size(); ++n) {
      const std::vector<uint8_t> prefix(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n));
      try {
        const Database db = parse(prefix);
        EXPECT_EQ(parse(serialize(db)), db) << "prefix " << n;
      } catch (const FormatError&) {
      }
    }
  }
}

// Reading a file by its header and entry list, then block by block, refuses
// exactly what a whole parse refuses, with the same message, and otherwise
// gives the same database.
TEST(BlockReader, AgreesWithAWholeParse) {
  tarvo::test::TempFolder temp("pdb-blocks");
  const auto file = temp.path() / "x.pdb";
  std::vector<std::vector<uint8_t>> images;
  for (const Case& c : kCases) {
    images.push_back(c.resources ? test::resourceImage() : test::recordImage(2));
    c.damage(images.back());
  }
  for (const auto& image : {test::recordImage(2), test::recordImage(0), test::resourceImage()}) {
    for (std::size_t n = 0; n <= image.size(); ++n)
      images.emplace_back(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n));
  }
  for (const auto& image : images) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    std::string refused;
    Database whole;
    try {
      whole = parse(image);
    } catch (const FormatError& e) {
      refused = file.string() + ": " + e.what();
    }
    try {
      std::size_t size = 0;
      const Layout layout = readLayout(file, &size);
      EXPECT_EQ(size, image.size());
      EXPECT_EQ(layout.entries.size(), whole.isResourceDb() ? whole.resources.size() : whole.records.size());
      EXPECT_EQ(readDatabase(file), whole);
      EXPECT_EQ(refused, "") << image.size() << " bytes";
    } catch (const FormatError& e) {
      EXPECT_EQ(e.what(), refused) << image.size() << " bytes";
    }
  }
}

}  // namespace
}  // namespace pdb
