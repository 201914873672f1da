// Damaged images are refused with one clear line and never read past
// their end (this suite runs under AddressSanitizer).
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>

#include "image_builder.h"
#include "pdb/pdb.h"

namespace pdb {
namespace {

void setU32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void setU16(std::vector<uint8_t>& b, std::size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

// Offsets inside test::recordImage(2): list at 78, data at 104 (app info),
// 106 (sort info), 110 and 113 (records); 119 bytes in all.
constexpr std::size_t kRecord0 = 78, kRecord1 = 86, kRecord2 = 94;
constexpr std::size_t kResource1Offset = 78 + 10 + 6;

struct Case {
  const char* label;
  std::function<std::vector<uint8_t>()> make;
  const char* expected;  // part of the message
};

std::vector<uint8_t> records(const std::function<void(std::vector<uint8_t>&)>& damage) {
  std::vector<uint8_t> b = test::recordImage(2);
  damage(b);
  return b;
}

const Case kCases[] = {
    {"shorter than a header", [] { return std::vector<uint8_t>(50, 0); }, "shorter than the 78-byte header"},
    {"name without terminator",
     [] { return records([](auto& b) { std::fill_n(b.begin(), 32, 'A'); }); }, "no terminating zero"},
    {"chained list", [] { return records([](auto& b) { setU32(b, 72, 0x200); }); }, "chained"},
    {"count larger than the file", [] { return records([](auto& b) { setU16(b, 76, 0xFFFF); }); },
     "65535 entries needs"},
    {"record inside the list", [] { return records([](auto& b) { setU32(b, kRecord0, 80); }); },
     "record 0 offset 80 lies inside"},
    {"record past the end", [] { return records([](auto& b) { setU32(b, kRecord2, 120); }); },
     "record 2 offset 120 is past the end"},
    {"records out of order", [] { return records([](auto& b) { setU32(b, kRecord1, 109); }); },
     "record 1 offset 109 comes before entry 0"},
    {"app info inside the header", [] { return records([](auto& b) { setU32(b, 52, 40); }); },
     "app info offset 40 lies inside"},
    {"app info past the end", [] { return records([](auto& b) { setU32(b, 52, 0x10000); }); },
     "app info offset 65536 is past the end"},
    {"sort info inside the list", [] { return records([](auto& b) { setU32(b, 56, 90); }); },
     "sort info offset 90 lies inside"},
    {"sort info past the end", [] { return records([](auto& b) { setU32(b, 56, 0xFFFFFFFF); }); },
     "sort info offset 4294967295 is past the end"},
    {"app info on a record", [] { return records([](auto& b) { setU32(b, 52, 110); }); },
     "app info offset 110 is also the offset of entry 0"},
    {"app info and sort info together", [] { return records([](auto& b) { setU32(b, 56, 104); }); },
     "share offset 104"},
    {"resources out of order",
     [] {
       std::vector<uint8_t> b = test::resourceImage();
       setU32(b, kResource1Offset, 99);
       return b;
     },
     "resource 1 offset 99 comes before entry 0"},
    {"resource list cut short",
     [] {
       std::vector<uint8_t> b = test::resourceImage();
       b.resize(90);
       return b;
     },
     "resource list of 2 entries needs 98 bytes"},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

class Malformed : public ::testing::TestWithParam<Case> {};

TEST_P(Malformed, IsRefusedWithOneLine) {
  const std::vector<uint8_t> image = GetParam().make();
  try {
    parse(image);
    FAIL() << "accepted";
  } catch (const FormatError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find(GetParam().expected), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(Images, Malformed, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
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

}  // namespace
}  // namespace pdb
