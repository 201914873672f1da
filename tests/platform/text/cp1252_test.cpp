#include <gtest/gtest.h>

#include <string>

#include "text/cp1252.h"

namespace {

std::string Utf8Of(char32_t code) {
  std::string out;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
  return out;
}

TEST(Cp1252, EveryByteSurvivesTheWayToUtf8AndBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = tarvo::Cp1252ToUtf8(all);
  EXPECT_TRUE(tarvo::IsValidUtf8(utf8));
  EXPECT_EQ(tarvo::Utf8ToCp1252(utf8), all);
  // Byte by byte too: a converter that keeps state between bytes would hide here.
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(tarvo::Utf8ToCp1252(tarvo::Cp1252ToUtf8(one)), one) << b;
  }
}

TEST(Cp1252, UndefinedBytesBecomeTheirC1ControlsAndOnlyThey) {
  for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    EXPECT_TRUE(tarvo::IsUndefinedCp1252(b));
    EXPECT_EQ(tarvo::Cp1252ToUtf8(std::string(1, static_cast<char>(b))), Utf8Of(b)) << int(b);
  }
  // The defined bytes of 0x80..0x9F are typographic characters, not controls.
  EXPECT_EQ(tarvo::Cp1252ToUtf8("\x80\x8E\x9F"), Utf8Of(0x20AC) + Utf8Of(0x017D) + Utf8Of(0x0178));
  EXPECT_FALSE(tarvo::IsUndefinedCp1252(0x80));
  // Other C1 controls have no byte of their own.
  EXPECT_EQ(tarvo::Utf8ToCp1252(Utf8Of(0x80) + Utf8Of(0x9F)), "??");
}

TEST(Cp1252, UnrepresentableOrMalformedBecomesQuestionMark) {
  EXPECT_EQ(tarvo::Utf8ToCp1252(Utf8Of(0x20AC) + "b"), std::string("\x80") + "b");
  EXPECT_EQ(tarvo::Utf8ToCp1252("日本"), "??");
  EXPECT_EQ(tarvo::Utf8ToCp1252("x\xFFy"), "x?y");
  EXPECT_EQ(tarvo::Utf8ToCp1252("\xC0\xA9"), "??");       // overlong
  EXPECT_EQ(tarvo::Utf8ToCp1252("\xED\xA0\x80"), "???");  // surrogate
  EXPECT_EQ(tarvo::Utf8ToCp1252("caf\xC3"), "caf?");      // cut short
  EXPECT_FALSE(tarvo::IsValidUtf8("\xC3"));
  EXPECT_TRUE(tarvo::IsValidUtf8("ação"));
}

}  // namespace
