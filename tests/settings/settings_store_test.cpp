#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "settings/settings_keys.h"
#include "temp_folder.h"

namespace {

namespace keys = tarvo::settings;

class SettingsStoreTest : public ::testing::Test {
 protected:
  TempFolder temp_;
  std::filesystem::path file_ = temp_.path() / "conf" / "tarvo" / "settings.sqlite";
  tarvo::SettingsStore store_{file_};

  // Writes a row as another tool (or a hand) might have left it.
  void RawExec(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
};

TEST_F(SettingsStoreTest, FreshUserReadsDefaultsWithoutCreatingAFile) {
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kTimeout, keys::kTimeoutDefault), 60);
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kUsarProxy, 0), 0);
  EXPECT_EQ(store_.ReadInt("Jo\xE3o", keys::kProximo, keys::kActionDefault), 1);
  EXPECT_EQ(store_.ReadText(keys::kComunicacao, keys::kProxyHost, ""), "");
  // The same missing key answers each caller with its own default.
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kProxyPort, keys::kProxyPortEngineDefault), 0);
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kProxyPort, keys::kProxyPortPageDefault), 80);
  EXPECT_FALSE(std::filesystem::exists(file_));
  auto all = store_.List();
  ASSERT_TRUE(all.has_value());
  EXPECT_TRUE(all->empty());
}

TEST_F(SettingsStoreTest, WritesAreSeenByTheNextReadOfAnyStoreOnTheFile) {
  ASSERT_TRUE(store_.WriteInt(keys::kComunicacao, keys::kTimeout, 120));
  ASSERT_TRUE(store_.WriteText(keys::kComunicacao, keys::kProxyHost, "proxy.local"));
  tarvo::SettingsStore other(file_);
  EXPECT_EQ(other.ReadInt(keys::kComunicacao, keys::kTimeout, 60), 120);
  EXPECT_EQ(other.ReadText(keys::kComunicacao, keys::kProxyHost, "x"), "proxy.local");

  ASSERT_TRUE(other.WriteInt(keys::kComunicacao, keys::kTimeout, -5));
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kTimeout, 60), -5);
  ASSERT_TRUE(other.WriteText(keys::kComunicacao, keys::kProxyHost, ""));
  EXPECT_EQ(store_.ReadText(keys::kComunicacao, keys::kProxyHost, "x"), "");
}

TEST_F(SettingsStoreTest, ValueOfTheOtherKindReadsAsDefault) {
  ASSERT_TRUE(store_.WriteText("ana", keys::kProximo, "0"));
  EXPECT_EQ(store_.ReadInt("ana", keys::kProximo, 1), 1);
  ASSERT_TRUE(store_.WriteInt("ana", keys::kLogin, 97));
  EXPECT_EQ(store_.ReadText("ana", keys::kLogin, "dflt"), "dflt");
  // Rewriting with the other kind replaces the kind too.
  ASSERT_TRUE(store_.WriteInt("ana", keys::kProximo, 0));
  EXPECT_EQ(store_.ReadInt("ana", keys::kProximo, 1), 0);
}

TEST_F(SettingsStoreTest, HandEditedValuesThatAreNotWhatTheirKindSaysReadAsDefault) {
  ASSERT_TRUE(store_.WriteInt("ana", "a", 1));  // creates the table
  RawExec("INSERT INTO settings VALUES ('ana', 'big', 'integer', 4294967296),"
          " ('ana', 'word', 'integer', 'ten'), ('ana', 'blob', 'text', x'00ff'),"
          " ('ana', 'real', 'integer', 1.5)");
  EXPECT_EQ(store_.ReadInt("ana", "big", 7), 7);
  EXPECT_EQ(store_.ReadInt("ana", "word", 7), 7);
  EXPECT_EQ(store_.ReadInt("ana", "real", 7), 7);
  EXPECT_EQ(store_.ReadText("ana", "blob", "d"), "d");
}

TEST_F(SettingsStoreTest, TextIsWindows1252InsideAndUtf8InTheFile) {
  const std::string user = "Jo\xE3o";        // "João" in Windows-1252
  const std::string caption = "Not\xED" "cias \x80";  // "Notícias €"
  ASSERT_TRUE(store_.WriteText(user, keys::kNome, caption));
  EXPECT_EQ(store_.ReadText(user, keys::kNome, ""), caption);

  auto entry = store_.Find("João", "nome");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->section, "João");
  EXPECT_EQ(entry->text, "Notícias €");
}

TEST_F(SettingsStoreTest, ServerSectionWrittenWithTrailingBackslashIsReadWithout) {
  const std::string section = keys::UserServerSection("ana", "https://corp.example/sync.asp");
  ASSERT_TRUE(store_.WriteText(section + "\\", keys::kLogin, "097"));
  EXPECT_EQ(store_.ReadText(section, keys::kLogin, ""), "097");
  // The user's own section is a different one.
  EXPECT_EQ(store_.ReadText("ana", keys::kLogin, "none"), "none");
}

TEST_F(SettingsStoreTest, NamesIgnoreAsciiCaseLikeRegistryKeys) {
  ASSERT_TRUE(store_.WriteInt("comunicacao", "TimeOut", 30));
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kTimeout, 60), 30);
  ASSERT_TRUE(store_.WriteInt(keys::kComunicacao, keys::kTimeout, 45));
  auto all = store_.List();
  ASSERT_TRUE(all.has_value());
  ASSERT_EQ(all->size(), 1u);
  EXPECT_EQ(all->front().intValue, 45);
}

TEST_F(SettingsStoreTest, FileIsPrivateToItsOwner) {
  ASSERT_TRUE(store_.WriteText("ana", keys::kSenha, "115101110104097"));
  struct stat st {};
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(file_.parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A file that was left readable by others is closed down at the next write.
  ASSERT_EQ(chmod(file_.c_str(), 0644), 0);
  ASSERT_TRUE(store_.WriteInt("ana", keys::kPadrao, 0));
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsStoreTest, UnwritableLocationFailsQuietlyAndReadsDefaults) {
  std::filesystem::path blocker = temp_.path() / "plainfile";
  { FILE* f = std::fopen(blocker.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
  tarvo::SettingsStore bad(blocker / "tarvo" / "settings.sqlite");
  EXPECT_FALSE(bad.WriteInt("a", "b", 1));
  EXPECT_EQ(bad.ReadInt("a", "b", 9), 9);
}

TEST_F(SettingsStoreTest, ListsBySectionInOrder) {
  ASSERT_TRUE(store_.WriteInt("bia", keys::kProximo, 0));
  ASSERT_TRUE(store_.WriteText("ana", keys::kSenha, "1"));
  ASSERT_TRUE(store_.WriteText("ana", keys::kLogin, "2"));
  auto ana = store_.List("ANA");
  ASSERT_TRUE(ana.has_value());
  ASSERT_EQ(ana->size(), 2u);
  EXPECT_EQ((*ana)[0].key, "login");
  EXPECT_EQ((*ana)[1].key, "senha");
  auto all = store_.List();
  ASSERT_TRUE(all.has_value());
  ASSERT_EQ(all->size(), 3u);
  EXPECT_EQ((*all)[2].section, "bia");
  EXPECT_TRUE((*all)[2].isInteger);
}

class SettingsLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* v = std::getenv("XDG_CONFIG_HOME")) saved_ = v;
    hadValue_ = std::getenv("XDG_CONFIG_HOME") != nullptr;
  }
  void TearDown() override {
    if (hadValue_) setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    tarvo::SetSettingsFile({});
  }
  std::string saved_;
  bool hadValue_ = false;
};

TEST_F(SettingsLocationTest, FollowsXdgConfigHomeUnlessOverridden) {
  TempFolder temp;
  setenv("XDG_CONFIG_HOME", temp.path().c_str(), 1);
  EXPECT_EQ(tarvo::DefaultSettingsFile(), temp.path() / "tarvo" / "settings.sqlite");
  ASSERT_TRUE(tarvo::AppSettings().WriteInt(keys::kComunicacao, keys::kTimeout, 90));
  EXPECT_TRUE(std::filesystem::exists(temp.path() / "tarvo" / "settings.sqlite"));

  std::filesystem::path elsewhere = temp.path() / "other.sqlite";
  tarvo::SetSettingsFile(elsewhere);
  EXPECT_EQ(tarvo::AppSettings().file(), elsewhere);
  EXPECT_EQ(tarvo::AppSettings().ReadInt(keys::kComunicacao, keys::kTimeout, 60), 60);
  tarvo::SetSettingsFile({});
  EXPECT_EQ(tarvo::AppSettings().ReadInt(keys::kComunicacao, keys::kTimeout, 60), 90);

  // A relative value is not a valid base and is ignored.
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  EXPECT_TRUE(tarvo::DefaultSettingsFile().is_absolute());
  EXPECT_EQ(tarvo::DefaultSettingsFile().parent_path().parent_path().filename(), ".config");
}

}  // namespace

namespace {

// Separate processes (the host during a sync and a configuration tool) write
// the same file at the same time.
TEST(SettingsProcesses, TwoProcessesWritingAtOnceLoseNothing) {
  TempFolder temp;
  const auto file = temp.path() / "tarvo" / "settings.sqlite";
  constexpr int kWrites = 100;
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      tarvo::SettingsStore store(file);
      int failures = 0;
      for (int i = 0; i < kWrites; ++i)
        if (!store.WriteText("p" + std::to_string(p), "k" + std::to_string(i), std::to_string(i))) ++failures;
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  tarvo::SettingsStore store(file);
  EXPECT_EQ(store.List("p0")->size(), static_cast<size_t>(kWrites));
  EXPECT_EQ(store.List("p1")->size(), static_cast<size_t>(kWrites));
  EXPECT_EQ(store.ReadText("p1", "k42", ""), "42");
}

}  // namespace
