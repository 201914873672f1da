#include "host/cmd_settings.h"

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
    return tarvo::settingsCommand(args, store_, {"João", "Ana"}, out_, err_);
  }
  TempFolder temp_;
  tarvo::SettingsStore store_{temp_.path() / "settings.sqlite"};
  std::ostringstream out_, err_;
};

TEST_F(SettingsCommandTest, SetGetAndListRoundTrip) {
  EXPECT_EQ(Run({"set", "--int", "Comunicacao", "timeout", "120"}), 0);
  EXPECT_EQ(Run({"set", "João", "nome", "Notícias"}), 0);
  EXPECT_EQ(store_.ReadInt("Comunicacao", "timeout", 60), 120);
  EXPECT_EQ(store_.ReadText("Jo\xE3o", "nome", ""),
            "Not\xED"
            "cias");

  EXPECT_EQ(Run({"get", "Comunicacao", "timeout"}), 0);
  EXPECT_EQ(out_.str(), "120\n");
  EXPECT_EQ(Run({"get", "João", "nome"}), 0);
  EXPECT_EQ(out_.str(), "Notícias\n");

  // The values set, then what applies to the keys the conduit reads and
  // nobody set.
  EXPECT_EQ(Run({"list"}), 0);
  const std::string all = out_.str();
  EXPECT_EQ(all.rfind("Comunicacao\ttimeout\tinteger\t120\nJoão\tnome\ttext\tNotícias\n", 0), 0u) << all;
  EXPECT_NE(all.find("Comunicacao\tusarproxy\tinteger\t0\t(default)\n"), std::string::npos);
  EXPECT_EQ(all.find("Comunicacao\ttimeout\tinteger\t60"), std::string::npos);
  EXPECT_NE(all.find("João\tproximo\tinteger\t1\t(default)\n"), std::string::npos);
  EXPECT_EQ(Run({"list", "JOÃO"}), 0);  // only ASCII letters ignore case
  EXPECT_EQ(out_.str().find("Notícias"), std::string::npos);
  EXPECT_EQ(Run({"list", "comunicacao"}), 0);
  EXPECT_EQ(out_.str().rfind("Comunicacao\ttimeout\tinteger\t120\nComunicacao\tusarproxy", 0), 0u) << out_.str();
}

// The command knows what the conduit reads: a known integer key is stored
// as one, a key nobody reads is kept but named, help is help everywhere.
TEST_F(SettingsCommandTest, KnownKeysAreStoredTheWayTheConduitReadsThem) {
  EXPECT_EQ(Run({"set", "Comunicacao", "timeout", "30"}), 0);
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(store_.ReadInt("Comunicacao", "timeout", 60), 30);
  EXPECT_EQ(Run({"set", "Ana", "padrao", "zero"}), 2);
  EXPECT_NE(err_.str().find("padrao takes a 32-bit integer"), std::string::npos);

  EXPECT_EQ(Run({"set", "Comunicacao", "timout", "30"}), 0);
  EXPECT_NE(err_.str().find("warning: the conduit reads no key timout"), std::string::npos);
  EXPECT_EQ(store_.ReadText("Comunicacao", "timout", ""), "30");
  EXPECT_EQ(Run({"set", "Ana\\http://h/s", "nome", "Corp"}), 0);
  EXPECT_EQ(err_.str(), "");

  // A sync server's address is checked as it is typed.
  EXPECT_EQ(Run({"set", "Comunicacao", "syncserver", "127.0.0.1:45785/sync"}), 2);
  EXPECT_EQ(err_.str(),
            "settings: syncserver: the address must start with http:// or https://, e.g. "
            "http://127.0.0.1:45785/sync\n");
  EXPECT_EQ(Run({"set", "Comunicacao", "syncserver", "http://127.0.0.1:45785/sync"}), 0);
  EXPECT_EQ(store_.ReadText("Comunicacao", "syncserver", ""), "http://127.0.0.1:45785/sync");

  EXPECT_EQ(Run({"list", "--help"}), 0);
  EXPECT_NE(out_.str().find("usage:"), std::string::npos);
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
  EXPECT_EQ(Run({"get", "Comunicacao", "outro"}), 1);
  EXPECT_NE(err_.str().find("not set"), std::string::npos);
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(out_.str().find("set [--int] SECTION KEY VALUE"), std::string::npos);
  EXPECT_EQ(Run({"set", "--int", "Comunicacao", "outro", "-2147483648"}), 0);
  EXPECT_EQ(store_.ReadInt("Comunicacao", "outro", 60), INT32_MIN);
}

// Known keys keep to the values the conduit can use, get and list agree on
// defaults, unset goes back to them, and a mistyped section is refused.
TEST_F(SettingsCommandTest, KnownKeysKeepTheirRangesAndDefaults) {
  EXPECT_EQ(Run({"get", "Comunicacao", "timeout"}), 0);
  EXPECT_EQ(out_.str(), "60\t(default)\n");
  EXPECT_EQ(Run({"get", "ana", "proximo"}), 0);
  EXPECT_EQ(out_.str(), "1\t(default)\n");

  EXPECT_EQ(Run({"set", "Comunicacao", "timeout", "-3"}), 2);
  EXPECT_EQ(err_.str(), "settings: timeout takes 1 to 3600, not -3\n");
  EXPECT_EQ(Run({"set", "--int", "Comunicacao", "usarproxy", "7"}), 2);
  EXPECT_EQ(err_.str(), "settings: usarproxy takes 0 or 1, not 7\n");
  EXPECT_EQ(Run({"set", "Comunicacao", "proxyport", "65536"}), 2);
  EXPECT_EQ(Run({"set", "Ana", "padrao", "2"}), 2);
  EXPECT_FALSE(store_.Find("Comunicacao", "timeout") || store_.Find("Comunicacao", "usarproxy"));

  EXPECT_EQ(Run({"set", "Comunicacao", "timeout", "3600"}), 0);
  EXPECT_EQ(Run({"get", "Comunicacao", "timeout"}), 0);
  EXPECT_EQ(out_.str(), "3600\n");
  EXPECT_EQ(Run({"unset", "comunicacao", "TIMEOUT"}), 0);
  EXPECT_EQ(Run({"get", "Comunicacao", "timeout"}), 0);
  EXPECT_EQ(out_.str(), "60\t(default)\n");
  EXPECT_EQ(Run({"unset", "Comunicacao", "timeout"}), 0);  // already gone
  EXPECT_EQ(Run({"unset", "Comunicacao"}), 2);

  EXPECT_EQ(Run({"set", "Comunicaco", "timeout", "30"}), 2);
  EXPECT_NE(err_.str().find("no section Comunicaco"), std::string::npos);
  EXPECT_EQ(Run({"set", "Nobody", "proximo", "0"}), 0);  // a user's key, before that user's first HotSync
  EXPECT_NE(err_.str().find("no HotSync user is called Nobody yet"), std::string::npos);
  EXPECT_EQ(Run({"set", "Nobody\\http://h/s", "nome", "Corp"}), 0);  // before the first HotSync
  // One left by an older version is listed as it is, not as a user.
  ASSERT_TRUE(store_.WriteIntUtf8("Comunicaco", "timeout", 30));
  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_NE(out_.str().find("Comunicaco\ttimeout\tinteger\t30\n"), std::string::npos);
  EXPECT_EQ(out_.str().find("Comunicaco\tproximo"), std::string::npos) << out_.str();
  EXPECT_EQ(Run({"list", "Comunicaco"}), 0);
  EXPECT_EQ(out_.str(), "Comunicaco\ttimeout\tinteger\t30\n");
}

}  // namespace
