#include <gtest/gtest.h>

#include <string>

#include "resources/rcstring.h"

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

}  // namespace
