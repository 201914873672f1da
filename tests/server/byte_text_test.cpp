#include "byte_text.h"

#include <gtest/gtest.h>

using namespace tarvo::server;

TEST(ByteText, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string text = bytes_to_json_text(all);
  EXPECT_EQ(text.size(), 128u + 2 * 128u);
  EXPECT_EQ(json_text_to_bytes(text), all);
}

TEST(ByteText, RefusesTextThatIsNotBytes) {
  EXPECT_EQ(json_text_to_bytes("\xC3\xA9"), "\xE9");            // é
  EXPECT_EQ(json_text_to_bytes("\xE2\x82\xAC"), std::nullopt);  // €: above U+00FF
  EXPECT_EQ(json_text_to_bytes("\xC4\x80"), std::nullopt);      // U+0100
  EXPECT_EQ(json_text_to_bytes("a\xC3"), std::nullopt);         // cut short
  EXPECT_EQ(json_text_to_bytes("\xC3"
                               "A"),
            std::nullopt);  // bad continuation
}

TEST(ByteText, Base64) {
  EXPECT_EQ(base64_decode("AOk="), std::string("\x00\xE9", 2));
  EXPECT_EQ(base64_decode("aGVs\nbG8="), "hello");
  EXPECT_EQ(base64_decode(""), "");
  EXPECT_EQ(base64_decode("a$=="), std::nullopt);
  EXPECT_EQ(base64_decode("AA=A"), std::nullopt);
  EXPECT_EQ(base64_decode("A"), std::nullopt);
}
