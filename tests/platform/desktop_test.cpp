// The desktop side: users and install queues, installing queued files,
// conduit registrations, the desktop log, the online check.
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "hotsync/condmgr.h"
#include "hotsync/host.h"
#include "hotsync/hslog.h"
#include "hotsync/instaide.h"
#include "hotsync/net.h"
#include "hotsync/syncmgr.h"
#include "test_handheld.h"
#include "text/cp1252.h"

using namespace testing_hh;

namespace {

class Desktop : public TempRoot {};

TEST_F(Desktop, UsersAreFoldersInNameOrder) {
  std::string error;
  ASSERT_TRUE(hotsync::addUser("Zé", &error)) << error;
  ASSERT_TRUE(hotsync::addUser("Ana", &error)) << error;
  for (const char* bad : {"", ".", "..", "a/b", "tab\there"}) EXPECT_FALSE(hotsync::addUser(bad, &error)) << bad;
  EXPECT_FALSE(hotsync::addUser(std::string(128, 'x'), &error));
  EXPECT_EQ(hotsync::users(), (std::vector<std::string>{"Ana", "Zé"}));

  EXPECT_EQ(PltGetUserCount(), 2);
  char name[100];
  int16_t size = sizeof name;
  ASSERT_EQ(PltGetUser(1, name, &size), 0);
  EXPECT_STREQ(name, "Z\xE9");  // Windows-1252, as conduits see names
  EXPECT_EQ(size, 3);
  size = 2;
  EXPECT_NE(PltGetUser(0, name, &size), 0);  // "Ana" and its zero need 4
  EXPECT_EQ(size, 4);
  size = sizeof name;
  EXPECT_EQ(PltGetUser(2, name, &size), -1);
}

TEST_F(Desktop, QueueingCopiesAtOnceAndNeedsAKnownUser) {
  std::string error;
  ASSERT_TRUE(hotsync::addUser("Ana", &error));
  const fs::path download = root / "dl" / "News.pdb";
  WriteFile(download, pdb::serialize(recordDb("News")));
  EXPECT_EQ(PltInstallFile("Nobody", download.c_str()), -1);
  EXPECT_FALSE(fs::exists(hotsync::userDir("Nobody")));
  EXPECT_LT(PltInstallFile("Ana", (root / "missing.pdb").c_str()), 0);
  ASSERT_EQ(PltInstallFile("Ana", download.c_str()), 0);
  WriteFile(download, "changed after queueing");
  EXPECT_NO_THROW(pdb::readFile(hotsync::userInstallDir("Ana") / "News.pdb"));
}

TEST_F(Desktop, ProgramFolderEndsInSlash) {
  char path[260];
  int16_t size = sizeof path;
  const int32_t length = PltGetPath(kPathHotSyncFolder, path, &size);
  ASSERT_GT(length, 0);
  EXPECT_EQ(path[length - 1], '/');
  EXPECT_TRUE(fs::is_directory(path));
  size = sizeof path;
  EXPECT_EQ(PltGetPath(7, path, &size), 0);
  size = 2;
  EXPECT_EQ(PltGetPath(kPathHotSyncFolder, path, &size), 0);
}

TEST_F(Desktop, QueuedFilesInstallOnCardZeroAndBadOnesAreRefused) {
  auto old = recordDb("News", {BytesOf("old")});
  const auto dir = makeHandheld({old, recordDb("Keep")});
  connect(dir);  // makes user Ana current
  ASSERT_EQ(hotsync::currentUser(), "Ana");
  const fs::path queue = hotsync::userInstallDir("Ana");
  WriteFile(queue / "a-news.pdb", pdb::serialize(recordDb("News", {BytesOf("new")})));
  WriteFile(queue / "b-app.prc", pdb::serialize(resourceDb("Tarvo/App")));
  WriteFile(queue / "c-bad.pdb", "this is no database");

  std::vector<std::string> messages;
  EXPECT_EQ(hotsync::installQueuedFiles(&messages), 2);
  EXPECT_TRUE(fs::is_empty(queue));

  // The replaced database keeps its file and place; the new one gets a safe name.
  EXPECT_EQ(pdb::readFile(dir / "card0" / "News.pdb").db.records.at(0).data, BytesOf("new"));
  EXPECT_EQ(pdb::readFile(dir / "card0" / "Tarvo_App.prc").db.name, "Tarvo/App");
  CDbList list[4];
  int32_t count = 4;
  ASSERT_EQ(SyncReadDBList(0, 0, DB_LIST_RAM, list, &count), SYNCERR_NONE);
  ASSERT_EQ(count, 3);
  EXPECT_STREQ(list[0].m_Name, "Keep");  // file-name order: Keep.pdb, News.pdb, Tarvo_App.prc
  EXPECT_STREQ(list[1].m_Name, "News");
  EXPECT_EQ(+list[1].m_RecCount, 1u);

  const std::string log = ReadFile(hotsync::userLogFile("Ana"));
  EXPECT_NE(log.find("c-bad.pdb"), std::string::npos) << log;
  EXPECT_NE(log.find("refused"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(dir / "card0" / "c-bad.pdb"));
}

TEST_F(Desktop, InstalledDatabaseIsTheQueuedFileAndWorksInTheSameHotSync) {
  const auto dir = makeHandheld({recordDb("News", {BytesOf("old")})});
  connect(dir);
  const fs::path queue = hotsync::userInstallDir("Ana");
  // Odd block sizes and app info, so a copy that is not byte for byte shows.
  auto news = recordDb("News", {BytesOf("first"), std::vector<uint8_t>(60001, 0x5A), BytesOf("third")});
  news.appInfo = BytesOf("app info");
  const std::vector<uint8_t> image = pdb::serialize(news);
  WriteFile(queue / "News.pdb", image);
  ASSERT_EQ(hotsync::installQueuedFiles(nullptr), 1);
  std::ifstream in(dir / "card0" / "News.pdb", std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), image);

  // Read and changed right after the install: the handheld knows the new entries.
  uint8_t h = 0;
  ASSERT_EQ(SyncOpenDB("News", 0, &h, eDbRead | eDbWrite), SYNCERR_NONE);
  uint16_t count = 0;
  ASSERT_EQ(SyncGetDBRecordCount(h, &count), SYNCERR_NONE);
  EXPECT_EQ(count, 3);
  std::vector<uint8_t> buffer(0xFFFF);
  RecordInfo rec{};
  rec.m_FileHandle = h;
  rec.m_RecIndex = 1;
  rec.m_pBytes = buffer.data();
  rec.m_TotalBytes = static_cast<uint16_t>(buffer.size());
  ASSERT_EQ(SyncReadRecordByIndex(&rec), SYNCERR_NONE);
  EXPECT_EQ(uint32_t{rec.m_RecSize}, 60001u);
  std::vector<uint8_t> added = BytesOf("added");
  RecordInfo write{};
  write.m_FileHandle = h;
  write.m_RecSize = static_cast<uint32_t>(added.size());
  write.m_pBytes = added.data();
  ASSERT_EQ(SyncWriteRec(&write), SYNCERR_NONE);
  EXPECT_EQ(SyncCloseDB(h), SYNCERR_NONE);
  hotsync::disconnectHandheld();
  const auto back = pdb::readFile(dir / "card0" / "News.pdb").db;
  ASSERT_EQ(back.records.size(), 4u);
  EXPECT_EQ(back.records[2].data, BytesOf("third"));
  EXPECT_EQ(back.records[3].data, added);
  EXPECT_EQ(back.appInfo, BytesOf("app info"));
}

TEST_F(Desktop, RegistrationStoreKeepsValuesPerCreator) {
  uint32_t code = 0;
  ASSERT_EQ(CmConvertStringToCreatorID("Tarv", &code), 0);
  EXPECT_EQ(code, 0x54617276u);
  char text[16];
  int32_t size = sizeof text;
  ASSERT_EQ(CmConvertCreatorIDToString(code, text, &size), 0);
  EXPECT_STREQ(text, "Tarv");
  size = 4;
  EXPECT_NE(CmConvertCreatorIDToString(code, text, &size), 0);
  EXPECT_EQ(CmConvertStringToCreatorID("Tar", &code), ERR_INVALID_CREATOR);

  EXPECT_EQ(CmSetCreatorName("Tarv", "Tarvo"), ERR_NO_CONDUIT);
  ASSERT_EQ(CmInstallCreator("Tarv", 1), 0);
  ASSERT_EQ(CmSetCreatorModule("Tarv", "/opt/tarvo/lib/libtarvoconduit.so"), 0);
  ASSERT_EQ(CmSetCreatorName("Tarv", "Tarvo"), 0);
  ASSERT_EQ(CmSetCreatorTitle("Tarv", "line\nbreak\tand \\ slash"), 0);
  ASSERT_EQ(CmSetCreatorPriority("Tarv", 0), 0);
  ASSERT_EQ(CmInstallCreator("sync", 1), 0);

  std::string value;
  ASSERT_TRUE(hotsync::registrationText("Tarv", "module", &value));
  EXPECT_EQ(value, "/opt/tarvo/lib/libtarvoconduit.so");
  ASSERT_TRUE(hotsync::registrationText("Tarv", "title", &value));
  EXPECT_EQ(value, "line\nbreak\tand \\ slash");
  int32_t number = -1;
  ASSERT_TRUE(hotsync::registrationInt("Tarv", "type", &number));
  EXPECT_EQ(number, 1);
  EXPECT_FALSE(hotsync::registrationText("Tarv", "remote", &value));
  struct stat st {};
  ASSERT_EQ(stat((hotsync::dataDir() / "conduits.conf").c_str(), &st), 0);

  // Installing again starts the registration afresh.
  ASSERT_EQ(CmInstallCreator("Tarv", 1), 0);
  EXPECT_FALSE(hotsync::registrationText("Tarv", "module", &value));
  EXPECT_EQ(CmRemoveConduitByCreatorID("Tarv"), 0);
  EXPECT_EQ(CmRemoveConduitByCreatorID("Tarv"), ERR_NO_CONDUIT);
  EXPECT_FALSE(hotsync::registrationInt("Tarv", "type", &number));
  EXPECT_TRUE(hotsync::registrationInt("sync", "type", &number));
}

TEST_F(Desktop, LogEntriesCarryActivityAndUtf8TextPrivately) {
  hotsync::setCurrentUser("Ana");
  EXPECT_EQ(LogAddEntry("", slSyncStarted, 0), 0);
  EXPECT_EQ(LogAddEntry("Conex\xE3o indispon\xED"
                        "vel\n",
                        slText, 0),
            0);
  const std::string log = ReadFile(hotsync::userLogFile("Ana"));
  EXPECT_NE(log.find("\t19\t\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\t-1\tConexão indisponível\n"), std::string::npos) << log;
  struct stat st {};
  ASSERT_EQ(stat(hotsync::userLogFile("Ana").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A handheld made for a user is that user's when it connects, with an id of
// its own: another name makes another id.
TEST_F(Desktop, AHandheldConfigWrittenForAUserReadsBackAsItsOwn) {
  std::string error;
  uint32_t ids[2] = {};
  const char* names[2] = {"Jos\xC3\xA9 Palm", "Ana"};
  for (int i = 0; i < 2; ++i) {
    const fs::path dir = root / names[i];
    fs::create_directories(dir / "card0");
    ASSERT_TRUE(hotsync::writeHandheldConfig(dir, names[i], "made here", &error)) << error;
    connect(dir);
    UserInfo info{};
    ASSERT_EQ(SyncReadUserInfo(&info), SYNCERR_NONE);
    EXPECT_EQ(tarvo::Cp1252ToUtf8(info.m_pName), names[i]);
    ids[i] = info.m_Id;
    EXPECT_NE(ids[i], 0u);
    hotsync::disconnectHandheld();
  }
  EXPECT_NE(ids[0], ids[1]);
}

// The log command reads what LogAddEntry wrote: a text with a tab or a line
// break inside still comes back as one entry with its code.
TEST_F(Desktop, TheLogReaderReadsBackWhatTheWriterWrote) {
  hotsync::setCurrentUser("Ana");
  ASSERT_EQ(LogAddEntry("a\tb\nc", slWarning, 0), 0);
  ASSERT_EQ(LogAddEntry("", slSyncFinished, 0), 0);
  std::istringstream lines(ReadFile(hotsync::userLogFile("Ana")));
  std::vector<hotsync::DesktopLogEntry> entries;
  for (std::string line; std::getline(lines, line);) {
    const auto entry = hotsync::parseDesktopLogLine(line);
    ASSERT_TRUE(entry.has_value()) << line;
    entries.push_back(*entry);
  }
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].activity, slWarning);
  EXPECT_EQ(entries[0].text, "a\tb c");
  EXPECT_EQ(entries[0].time.size(), std::strlen("2024-05-01 12:00:00"));
  EXPECT_EQ(entries[1].activity, slSyncFinished);
  EXPECT_EQ(entries[1].text, "");
  for (const char* edited : {"", "no tabs", "2024-05-01 12:00:00\t19", "2024-05-01 12:00:00\t1x\ttext"})
    EXPECT_FALSE(hotsync::parseDesktopLogLine(edited).has_value()) << edited;
}

TEST_F(Desktop, OnlineOverride) {
  uint32_t flags = 7;
  hotsync::setOnlineOverride(0);
  EXPECT_EQ(InternetGetConnectedState(&flags, 0), 0);
  EXPECT_EQ(flags, 0u);
  hotsync::setOnlineOverride(1);
  EXPECT_EQ(InternetGetConnectedState(&flags, 0), 1);
  EXPECT_EQ(flags, 1u);
  hotsync::setOnlineOverride(-1);
}

}  // namespace
