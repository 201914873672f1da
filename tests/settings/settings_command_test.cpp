#include "settings/settings_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "temp_folder.h"

namespace {

using tarvo::test::TempFolder;

class SettingsCommandTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return tarvo::settingsCommand(args, store_, out_, err_);
  }
  TempFolder temp_;
  tarvo::SettingsStore store_{temp_.path() / "settings.sqlite"};
  std::ostringstream out_, err_;
};

TEST_F(SettingsCommandTest, SetGetAndListRoundTrip) {
  EXPECT_EQ(Run({"set", "--int", "Comunicacao", "timeout", "120"}), 0);
  EXPECT_EQ(Run({"set", "João", "nome", "Notícias"}), 0);
  EXPECT_EQ(store_.ReadInt("Comunicacao", "timeout", 60), 120);
  EXPECT_EQ(store_.ReadText("Jo\xE3o", "nome", ""), "Not\xED" "cias");

  EXPECT_EQ(Run({"get", "Comunicacao", "timeout"}), 0);
  EXPECT_EQ(out_.str(), "120\n");
  EXPECT_EQ(Run({"get", "João", "nome"}), 0);
  EXPECT_EQ(out_.str(), "Notícias\n");

  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_EQ(out_.str(), "Comunicacao\ttimeout\tinteger\t120\nJoão\tnome\ttext\tNotícias\n");
  EXPECT_EQ(Run({"list", "JOÃO"}), 0);  // only ASCII letters ignore case
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(Run({"list", "comunicacao"}), 0);
  EXPECT_EQ(out_.str(), "Comunicacao\ttimeout\tinteger\t120\n");
}

TEST_F(SettingsCommandTest, BadInputGivesOneLineErrorAndNonZeroExit) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"get", "Comunicacao"},
      {"set", "Comunicacao", "timeout"},
      {"set", "--int", "Comunicacao", "timeout", "abc"},
      {"set", "--int", "Comunicacao", "timeout", "4294967296"},
      {"set", "Comunicacao", "", "v"},
      {"set", "Comunicacao", "proxyhost", "\xFF\xFE"},
      {"list", "a", "b"},
  };
  for (const auto& args : bad) {
    EXPECT_NE(Run(args), 0) << ::testing::PrintToString(args);
    std::string message = err_.str();
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
  }
  EXPECT_EQ(store_.ReadInt("Comunicacao", "timeout", 60), 60);  // nothing was written
}

TEST_F(SettingsCommandTest, MissingValueIsAnErrorAndHelpIsNot) {
  EXPECT_EQ(Run({"get", "Comunicacao", "timeout"}), 1);
  EXPECT_NE(err_.str().find("not set"), std::string::npos);
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out_.str().find("set [--int] SECTION KEY VALUE"), std::string::npos);
  EXPECT_EQ(Run({"set", "--int", "Comunicacao", "timeout", "-2147483648"}), 0);
  EXPECT_EQ(store_.ReadInt("Comunicacao", "timeout", 60), INT32_MIN);
}

}  // namespace
