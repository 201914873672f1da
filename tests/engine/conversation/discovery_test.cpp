// Discovery on a real simulated handheld: which databases are modules, their
// parameter blocks, and the module list a server receives.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "ui/progress/conduit_progress.h"

namespace {

using testing_support::EngineHarness;
using testing_support::MakeDatabase;
using testing_support::ParameterRecord;

const std::string kNewsBlock =
    "ZembraParameterBlock|__tarvo_sync_server:http://x/s;__tarvo_sync_caption:Not\xED"
    "cias;";

TEST(Discovery, ModulesOfTwoCards) {
  EngineHarness hh;
  hh.AddDatabase(MakeDatabase("MemoDB", "DATA", "memo", {{1, 2, 3}}));
  hh.AddDatabase(MakeDatabase("News", "DATA", "Tarv", {{9, 9}, ParameterRecord(kNewsBlock + " \r\n")}));
  auto app = MakeDatabase("Tarvo", "appl", "Tarv");
  app.version = 12;
  hh.AddDatabase(app);
  hh.AddDatabase(MakeDatabase("Plain", "DATA", "Tarv", {ParameterRecord("no marker here;")}), 1);
  // The marker anywhere makes a block, and the text before it comes along.
  hh.AddDatabase(MakeDatabase("Late", "DATA", "Tarv", {ParameterRecord("x ZembraParameterBlock|a:1;")}), 1);
  hh.Connect();
  CTarvoConduit& e = *hh.engine;

  ASSERT_EQ(e.GetModules(), 4);
  EXPECT_EQ(e.m_dbCount, 5);
  EXPECT_EQ(e.m_cardCount, 2);
  ASSERT_EQ(e.m_modules.size(), 4u);
  const CTarvoModule& news = e.m_modules[0];
  EXPECT_EQ(news.sName, "News");
  EXPECT_EQ(news.sDbtype, "DATA");
  EXPECT_EQ(news.sParam, kNewsBlock);  // trailing white space gone
  EXPECT_EQ(news.sCaption,
            "Not\xED"
            "cias");
  EXPECT_EQ(news.dbIndex, 1);
  EXPECT_EQ(e.m_modules[1].sDbtype, "appl");
  EXPECT_EQ(e.m_modules[1].sVersion, "12");
  EXPECT_EQ(e.m_modules[1].sParam, "");  // no records at all
  EXPECT_EQ(e.m_modules[2].sParam, "");
  EXPECT_EQ(e.m_modules[2].dbIndex, 3);
  const int32_t card = e.dblist[3].m_CardNum;  // packed field: copy before binding
  EXPECT_EQ(card, 1);
  EXPECT_EQ(e.m_modules[3].sParam, "x ZembraParameterBlock|a:1;");
  EXPECT_EQ(std::string(e.dblist[0].m_Name), "MemoDB");  // every database is listed
}

TEST(Discovery, NoModules) {
  EngineHarness hh;
  hh.AddDatabase(MakeDatabase("MemoDB", "DATA", "memo"));
  hh.Connect();
  EXPECT_EQ(hh.engine->GetModules(), 0);
  EXPECT_TRUE(hh.engine->m_modules.empty());
  EXPECT_EQ(std::string(hh.engine->dblist[0].m_Name), "MemoDB");
}

TEST(Discovery, RecordLongerThanTheBufferIsRefusedNotRead) {
  EngineHarness hh;
  std::vector<uint8_t> huge(70000, 'A');
  const std::string marker = "ZembraParameterBlock|";
  std::copy(marker.begin(), marker.end(), huge.begin() + 4);
  hh.AddDatabase(MakeDatabase("Big", "DATA", "Tarv", {huge}));
  // A record that exactly fills the buffer has no terminating zero.
  std::vector<uint8_t> full(kRecordBufferSize, 'B');
  std::copy(marker.begin(), marker.end(), full.begin() + 4);
  hh.AddDatabase(MakeDatabase("Full", "DATA", "Tarv", {full}));
  hh.Connect();
  ASSERT_EQ(hh.engine->GetModules(), 2);
  EXPECT_EQ(hh.engine->m_modules[0].sParam, "");
  EXPECT_EQ(hh.engine->m_modules[1].sParam.size(), kRecordBufferSize - 4);
}

TEST(Discovery, CancelStopsTheScan) {
  EngineHarness hh;
  hh.AddDatabase(MakeDatabase("News", "DATA", "Tarv"));
  hh.Connect();
  hh.cancelWhen->store(true);
  EXPECT_THROW(hh.engine->GetModules(), CancelException);
  EXPECT_TRUE(hh.engine->m_modules.empty());
}

TEST(ModuleList, PiecesInOrder) {
  EngineHarness hh;
  // The other-type database comes first on the handheld but last in the list.
  hh.AddDatabase(MakeDatabase("T b", "sTbl", "Tarv", {{'a', '/', 'c', 'z'}, {}, {'Q'}, {0}}));
  hh.AddDatabase(MakeDatabase("Other", "Xtra", "Tarv", {{1, 2, 3}}));
  hh.AddDatabase(MakeDatabase("News", "DATA", "Tarv", {ParameterRecord("ZembraParameterBlock|k:v;")}));
  auto app = MakeDatabase("Tarvo", "appl", "Tarv");
  app.version = 7;
  hh.AddDatabase(app);
  hh.Connect();
  CTarvoConduit& e = *hh.engine;
  ASSERT_EQ(e.GetModules(), 4);
  ASSERT_EQ(e.GetServers(), 1);

  // The last byte of each record stays behind; a one-byte record is sent
  // as the text at the start of the buffer; an empty record is skipped.
  EXPECT_EQ(e.PackDBList(e.m_servers[0]),
            "zembra=7"
            "&modulo=News&param=ZembraParameterBlock%7ck%3av%3b"
            "&unknowndbname=T%20b&unknowndbtype=sTbl"
            "&T%20b_record=a%2fc&T%20b_record_id=100"
            "&T%20b_record=Q&T%20b_record_id=102"
            "&T%20b_record=&T%20b_record_id=103"
            "&unknowndbname=Other&unknowndbtype=Xtra");
}

TEST(ModuleList, DataModuleAloneWithoutApplication) {
  EngineHarness hh;
  hh.AddDatabase(MakeDatabase("News", "DATA", "Tarv"));
  hh.Connect();
  ASSERT_EQ(hh.engine->GetModules(), 1);
  ASSERT_EQ(hh.engine->GetServers(), 1);
  EXPECT_EQ(hh.engine->PackDBList(hh.engine->m_servers[0]), "zembra=&modulo=News&param=");
}

}  // namespace
