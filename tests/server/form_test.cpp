#include "form.h"

#include <gtest/gtest.h>

using namespace tarvo::server;

TEST(Form, DecodesBytesAndKeepsBrokenEscapes) {
  EXPECT_EQ(percent_decode("Jo%E3o+Silva"), "Jo\xE3o Silva");
  EXPECT_EQ(percent_decode("a%00b"), std::string("a\0b", 3));
  // Not an escape: kept as written rather than guessed at.
  EXPECT_EQ(percent_decode("100%"), "100%");
  EXPECT_EQ(percent_decode("%4"), "%4");
  EXPECT_EQ(percent_decode("%zz%41"), "%zzA");
}

TEST(Form, SplitsFieldsInOrderWithRepeatsAndOddPieces) {
  const FormFields fields = parse_form("language=PT&&cmd=pget&flag&x=a=b&rec_record=1&rec_record=2");
  const FormFields expected = {{"language", "PT"}, {"cmd", "pget"},     {"flag", ""},
                               {"x", "a=b"},       {"rec_record", "1"}, {"rec_record", "2"}};
  EXPECT_EQ(fields, expected);
  EXPECT_EQ(form_value(fields, "rec_record"), "1");
  EXPECT_EQ(form_value(fields, "missing"), std::nullopt);
  EXPECT_TRUE(parse_form("").empty());
}
