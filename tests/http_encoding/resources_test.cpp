#include <gtest/gtest.h>

#include <string>

#include "resources/rcstring.h"
#include "resources/text_codec.h"

namespace {

TEST(RCString, HoldsWindows1252AndGivesUtf8ForTheScreen) {
  RCString offline(tarvo::res::kOffline);
  EXPECT_EQ(offline.str(), "Tarvo - Conex\xE3o internet inativa.");
  EXPECT_EQ(offline.utf8(), "Tarvo - Conexão internet inativa.");
  EXPECT_EQ(RCString(tarvo::res::kButtonNext).str(), "&Pr\xF3ximo >");
}

TEST(RCString, UnknownIdIsEmpty) {
  for (unsigned id : {0u, 1u, 224u, 233u, 65535u}) {
    RCString s(id);
    EXPECT_TRUE(s.empty()) << id;
    EXPECT_EQ(s.utf8(), "") << id;
    EXPECT_STREQ(s.c_str(), "") << id;
  }
}

TEST(TextCodec, RoundTripsEveryWindows1252Byte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::string utf8 = tarvo::Cp1252ToUtf8(all);
  EXPECT_TRUE(tarvo::IsValidUtf8(utf8));
  EXPECT_EQ(tarvo::Utf8ToCp1252(utf8), all);
  EXPECT_EQ(tarvo::Cp1252ToUtf8("\x80\xE9"), "€é");
  EXPECT_EQ(tarvo::Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextCodec, UnrepresentableOrMalformedBecomesQuestionMark) {
  EXPECT_EQ(tarvo::Utf8ToCp1252("a\xE2\x82\xAC" "b"), "a\x80" "b");  // euro sign exists
  EXPECT_EQ(tarvo::Utf8ToCp1252("日本"), "??");
  EXPECT_EQ(tarvo::Utf8ToCp1252("x\xFFy"), "x?y");
  EXPECT_EQ(tarvo::Utf8ToCp1252("\xC0\xA9"), "??");          // overlong
  EXPECT_EQ(tarvo::Utf8ToCp1252("\xED\xA0\x80"), "???");     // surrogate
  EXPECT_EQ(tarvo::Utf8ToCp1252("caf\xC3"), "caf?");         // cut short
  EXPECT_FALSE(tarvo::IsValidUtf8("\xC3"));
  EXPECT_TRUE(tarvo::IsValidUtf8("ação"));
}

}  // namespace
