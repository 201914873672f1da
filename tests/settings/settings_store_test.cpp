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

using tarvo::test::TempFolder;

namespace keys = tarvo::settings;

class SettingsStoreTest : public ::testing::Test {
 protected:
  TempFolder temp_;
  std::filesystem::path file_ = temp_.path() / "conf" / "tarvo" / "settings.sqlite";
  tarvo::SettingsStore store_{file_};
};

TEST_F(SettingsStoreTest, FreshUserReadsDefaultsWithoutCreatingAFile) {
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kTimeout, keys::kTimeoutDefault), 60);
  EXPECT_EQ(store_.ReadInt("Jo\xE3o", keys::kProximo, keys::kActionDefault), 1);
  EXPECT_EQ(store_.ReadText(keys::kComunicacao, keys::kProxyHost, ""), "");
  // The same missing key answers each caller with its own default.
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kProxyPort, keys::kProxyPortEngineDefault), 0);
  EXPECT_EQ(store_.ReadInt(keys::kComunicacao, keys::kProxyPort, keys::kProxyPortPageDefault), 80);
  EXPECT_FALSE(std::filesystem::exists(file_));
  EXPECT_TRUE(store_.List().value().empty());
}

TEST_F(SettingsStoreTest, WritesAreSeenByTheNextReadOfAnyStoreOnTheFile) {
  tarvo::SettingsStore other(file_);
  ASSERT_TRUE(store_.WriteInt(keys::kComunicacao, keys::kTimeout, 120));
  ASSERT_TRUE(store_.WriteText(keys::kComunicacao, keys::kProxyHost, "proxy.local"));
  EXPECT_EQ(other.ReadInt(keys::kComunicacao, keys::kTimeout, 60), 120);
  EXPECT_EQ(other.ReadText(keys::kComunicacao, keys::kProxyHost, "x"), "proxy.local");
  ASSERT_TRUE(other.WriteText(keys::kComunicacao, keys::kProxyHost, ""));
  EXPECT_EQ(store_.ReadText(keys::kComunicacao, keys::kProxyHost, "x"), "");
}

TEST_F(SettingsStoreTest, ValueOfTheWrongKindReadsAsDefault) {
  ASSERT_TRUE(store_.WriteText("ana", keys::kProximo, "0"));
  EXPECT_EQ(store_.ReadInt("ana", keys::kProximo, 1), 1);
  ASSERT_TRUE(store_.WriteInt("ana", keys::kLogin, 97));
  EXPECT_EQ(store_.ReadText("ana", keys::kLogin, "dflt"), "dflt");

  // Rows edited by hand whose value does not match their kind.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db,
                         "INSERT INTO settings VALUES ('ana', 'big', 'integer', 4294967296),"
                         " ('ana', 'word', 'integer', 'ten'), ('ana', 'blob', 'text', x'00ff')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(store_.ReadInt("ana", "big", 7), 7);
  EXPECT_EQ(store_.ReadInt("ana", "word", 7), 7);
  EXPECT_EQ(store_.ReadText("ana", "blob", "d"), "d");
  // A listing reads the rows the same way: no truncated 4294967296 as 0.
  const auto entries = store_.List("ana");
  ASSERT_TRUE(entries);
  std::vector<std::string> listed;
  for (const auto& entry : *entries) listed.push_back(entry.key);
  EXPECT_EQ(listed, (std::vector<std::string>{"login", "proximo"}));
}

TEST_F(SettingsStoreTest, TextIsWindows1252InsideAndUtf8InTheFile) {
  const std::string user = "Jo\xE3o";  // "João"
  const std::string caption =
      "Not\xED"
      "cias \x80";  // "Notícias €"
  ASSERT_TRUE(store_.WriteText(user, keys::kNome, caption));
  EXPECT_EQ(store_.ReadText(user, keys::kNome, ""), caption);
  auto entry = store_.Find("João", "nome");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->text, "Notícias €");
}

TEST_F(SettingsStoreTest, ServerSectionWrittenWithTrailingBackslashIsReadWithout) {
  const std::string section = keys::UserServerSection("ana", "https://corp.example/sync.asp");
  ASSERT_TRUE(store_.WriteText(section + "\\", keys::kLogin, "097"));
  EXPECT_EQ(store_.ReadText(section, keys::kLogin, ""), "097");
  EXPECT_EQ(store_.ReadText("ana", keys::kLogin, "none"), "none");
}

TEST_F(SettingsStoreTest, FileIsPrivateToItsOwner) {
  ASSERT_TRUE(store_.WriteText("ana", keys::kSenha, "115101110104097"));
  struct stat st {};
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat(file_.parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A file left readable by others is closed down at the next write.
  ASSERT_EQ(chmod(file_.c_str(), 0644), 0);
  ASSERT_TRUE(store_.WriteInt("ana", keys::kPadrao, 0));
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsStoreTest, UnwritableLocationFailsQuietlyAndReadsDefaults) {
  std::filesystem::path blocker = temp_.path() / "plainfile";
  std::fclose(std::fopen(blocker.c_str(), "w"));
  tarvo::SettingsStore bad(blocker / "tarvo" / "settings.sqlite");
  EXPECT_FALSE(bad.WriteInt("a", "b", 1));
  EXPECT_EQ(bad.ReadInt("a", "b", 9), 9);
}

TEST(SettingsLocation, FollowsXdgConfigHomeUnlessOverridden) {
  TempFolder temp;
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  std::string savedValue = saved ? saved : "";
  setenv("XDG_CONFIG_HOME", temp.path().c_str(), 1);
  EXPECT_EQ(tarvo::DefaultSettingsFile(), temp.path() / "tarvo" / "settings.sqlite");
  EXPECT_TRUE(tarvo::AppSettings().WriteInt(keys::kComunicacao, keys::kTimeout, 90));

  tarvo::SetSettingsFile(temp.path() / "other.sqlite");
  EXPECT_EQ(tarvo::AppSettings().ReadInt(keys::kComunicacao, keys::kTimeout, 60), 60);
  tarvo::SetSettingsFile({});
  EXPECT_EQ(tarvo::AppSettings().ReadInt(keys::kComunicacao, keys::kTimeout, 60), 90);

  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not a valid base: ignored
  EXPECT_TRUE(tarvo::DefaultSettingsFile().is_absolute());
  if (saved)
    setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

// The host during a sync and a configuration tool write the file at once.
TEST(SettingsProcesses, TwoProcessesWritingAtOnceLoseNothing) {
  TempFolder temp;
  const auto file = temp.path() / "tarvo" / "settings.sqlite";
  constexpr int kWrites = 100;
  pid_t children[2];
  for (int p = 0; p < 2; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      tarvo::SettingsStore store(file);
      bool ok = true;
      for (int i = 0; i < kWrites; ++i) ok &= store.WriteText("p" + std::to_string(p), std::to_string(i), "v");
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  tarvo::SettingsStore store(file);
  EXPECT_EQ(store.List("p0")->size(), static_cast<size_t>(kWrites));
  EXPECT_EQ(store.List("p1")->size(), static_cast<size_t>(kWrites));
}

}  // namespace
