// Raw terminal bytes to keys, including pieces split between reads.
#include <gtest/gtest.h>

#include "ui/term/login_keys.h"

namespace {

using tarvo::term::Key;
using tarvo::term::KeyDecoder;
using tarvo::term::KeyKind;

Key Text(std::string text) { return {KeyKind::kText, std::move(text)}; }
Key Of(KeyKind kind) { return {kind, {}}; }

TEST(LoginKeys, EditingAndControlKeys) {
  KeyDecoder decoder;
  EXPECT_EQ(decoder.Feed("a \x7f\b\t\r\n\x15\x01"),
            (std::vector<Key>{Text("a"), Text(" "), Of(KeyKind::kBackspace), Of(KeyKind::kBackspace), Of(KeyKind::kTab),
                              Of(KeyKind::kEnter), Of(KeyKind::kEnter), Of(KeyKind::kClear)}));
  EXPECT_EQ(decoder.Feed("\x03"), std::vector<Key>{Of(KeyKind::kCancel)});
  EXPECT_EQ(decoder.Feed("\x04"), std::vector<Key>{Of(KeyKind::kCancel)});
  EXPECT_EQ(decoder.Feed("\x1b"), std::vector<Key>{Of(KeyKind::kCancel)});  // Escape alone
}

TEST(LoginKeys, SequencesAreDroppedEvenWhenSplit) {
  KeyDecoder decoder;
  EXPECT_EQ(decoder.Feed("\x1b[Ax\x1bOPy\x1b"
                         "bz"),
            (std::vector<Key>{Text("x"), Text("y"), Text("z")}));
  EXPECT_TRUE(decoder.Feed("\x1b[1;").empty());
  EXPECT_EQ(decoder.Feed("5Cq"), std::vector<Key>{Text("q")});
}

TEST(LoginKeys, Utf8CharactersWholeOrNotAtAll) {
  KeyDecoder decoder;
  EXPECT_TRUE(decoder.Feed("\xc3").empty());
  EXPECT_EQ(decoder.Feed("\xa9"), std::vector<Key>{Text("\xc3\xa9")});
  EXPECT_EQ(decoder.Feed("\xe2\x82\xac"), std::vector<Key>{Text("\xe2\x82\xac")});
  // A broken character is dropped; the byte that broke it still counts.
  EXPECT_EQ(decoder.Feed("\xe2\x82o\x80\xff"), std::vector<Key>{Text("o")});
}

}  // namespace
