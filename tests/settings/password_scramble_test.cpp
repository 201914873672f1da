#include "settings/password_scramble.h"

#include <gtest/gtest.h>

namespace {

TEST(PasswordScramble, ThreeUnsignedDigitsPerByte) {
  struct Case {
    std::string clear, scrambled;
  } cases[] = {
      {"", ""},        {"abc", "097098099"},        {std::string("\0", 1), "000"},
      {"\x80", "128"}, {"Jos\xE9", "074111115233"},  // accented letter of the code page
      {"\xFF", "255"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UsrEncriptaSenha(c.clear), c.scrambled);
    EXPECT_EQ(UsrDesencriptaSenha(c.scrambled), c.clear);
  }
}

TEST(PasswordScramble, EveryByteComesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::string scrambled = UsrEncriptaSenha(all);
  EXPECT_EQ(scrambled.size(), 768u);
  EXPECT_EQ(scrambled.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(UsrDesencriptaSenha(scrambled), all);
}

TEST(PasswordScramble, DescramblingTakesAnyGroupAndDropsAPartialOne) {
  EXPECT_EQ(UsrDesencriptaSenha("0970"), "a");
  EXPECT_EQ(UsrDesencriptaSenha("09709"), "a");
  EXPECT_EQ(UsrDesencriptaSenha("09"), "");
  // Values above 255 keep their low 8 bits: 999 = 0x3E7.
  EXPECT_EQ(UsrDesencriptaSenha("999"), "\xE7");
  // Not digits: the same formula, (45-48)*10 + (53-48) = -25 -> 0xE7.
  EXPECT_EQ(UsrDesencriptaSenha("0-5"), "\xE7");
  // Non-ASCII characters give the same byte whatever the signedness of char.
  EXPECT_EQ(UsrDesencriptaSenha("\xE9\xE9\xE9"), "7");
}

}  // namespace
