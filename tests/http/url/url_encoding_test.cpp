#include "http/url_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Encode(const std::string& bytes) { return FullURLEncode(bytes.data(), static_cast<int32_t>(bytes.size())); }

struct Decoded {
  int32_t result;
  std::string bytes;
};

Decoded Decode(const std::string& source, int32_t capacity) {
  std::vector<unsigned char> dest(static_cast<size_t>(capacity > 0 ? capacity : 1), 0xAA);
  int32_t n = FullURLEdcode(source, dest.data(), capacity);
  return {n, std::string(dest.begin(), dest.begin() + (n > 0 ? n : 0))};
}

TEST(FullURLEncode, KeepsOnlyAsciiLettersAndDigits) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"abc", "abc"},
      {"AZaz09", "AZaz09"},
      {" ", "%20"},
      {"a&b=c", "a%26b%3dc"},
      {"-_.~+", "%2d%5f%2e%7e%2b"},
      {"\xFF", "%ff"},
      {"Jos\xE9", "Jos%e9"},
      {std::string("a\0b", 3), "a%00b"},  // a NUL inside the length is data
      {"/@:[`{", "%2f%40%3a%5b%60%7b"},   // the neighbours of the kept ranges
  };
  for (const auto& c : cases) EXPECT_EQ(Encode(c.in), c.out) << c.in;
}

TEST(FullURLEncode, LengthZeroStopsAtFirstNulAndBadArgumentsGiveNothing) {
  EXPECT_EQ(FullURLEncode("a-b.c", 0), "a%2db%2ec");
  EXPECT_EQ(FullURLEncode("ab\0cd", 0), "ab");
  EXPECT_EQ(FullURLEncode(nullptr, 5), "");
  EXPECT_EQ(FullURLEncode("abc", -1), "");
}

TEST(FullURLEdcode, DecodesEscapesAndCopiesTheRest) {
  struct Case {
    std::string in;
    int32_t result;
    std::string out;
  } cases[] = {
      {"%41%42", 2, "AB"},
      {"%e9", 1, "\xE9"},
      {"%E9%c3", 2, "\xE9\xC3"},
      {"a+b", 3, "a+b"},  // form '+' is not a blank here
      {"%00x", 2, std::string("\0x", 2)},
  };
  for (const auto& c : cases) {
    Decoded d = Decode(c.in, static_cast<int32_t>(c.in.size()));
    EXPECT_EQ(d.result, c.result) << c.in;
    EXPECT_EQ(d.bytes, c.out) << c.in;
  }
}

TEST(FullURLEdcode, MalformedEscapeReturnsZero) {
  for (std::string bad : {"%4", "%", "%zz", "%g1", "%1g", "ab%", "ab%4"}) {
    std::vector<unsigned char> dest(8, 0);
    EXPECT_EQ(FullURLEdcode(bad, dest.data(), 8), 0) << bad;
  }
  // What was decoded before the bad escape stays in the buffer.
  std::vector<unsigned char> dest(8, 0);
  EXPECT_EQ(FullURLEdcode("xy%q1", dest.data(), 8), 0);
  EXPECT_EQ(dest[0], 'x');
  EXPECT_EQ(dest[1], 'y');
  // Empty source, unusable destination.
  EXPECT_EQ(FullURLEdcode("", dest.data(), 8), 0);
  EXPECT_EQ(FullURLEdcode("abc", dest.data(), 0), 0);
  EXPECT_EQ(FullURLEdcode("abc", dest.data(), -3), 0);
  EXPECT_EQ(FullURLEdcode("abc", nullptr, 4), 0);
}

TEST(FullURLEdcode, StopsAtCapacityWithoutWritingPastIt) {
  std::vector<unsigned char> dest(4, 0xAA);
  EXPECT_EQ(FullURLEdcode("abcd", dest.data(), 2), 2);
  EXPECT_EQ(dest[0], 'a');
  EXPECT_EQ(dest[1], 'b');
  EXPECT_EQ(dest[2], 0xAA);
  // An escape beyond the capacity is never looked at.
  EXPECT_EQ(FullURLEdcode("ab%zz", dest.data(), 2), 2);
}

TEST(FullURLEdcode, InvertsFullURLEncodeForEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::string encoded = Encode(all);
  EXPECT_LE(encoded.size(), all.size() * 3);
  // The caller's usual buffer: as large as the source text.
  Decoded d = Decode(encoded, static_cast<int32_t>(encoded.size()));
  EXPECT_EQ(d.result, 256);
  EXPECT_EQ(d.bytes, all);
}

}  // namespace
