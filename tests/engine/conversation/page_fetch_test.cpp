// The page fetch against a loopback server: the form body, failures as
// empty pages, the body saved byte for byte, and Cancel.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine_harness.h"
#include "files.h"
#include "ui/progress/conduit_progress.h"

namespace {

using testing_support::EngineHarness;
using testing_support::ScriptedServer;

using tarvo::test::ReadFile;

TEST(PageFetch, FormBody) {
  EngineHarness hh;
  hh.Connect();
  ScriptedServer server;
  struct Case {
    std::string pathAndQuery, params, body, target;
  };
  const std::vector<Case> cases = {
      {"/sync.asp?x=1", "cmd=list&device_id=5", "language=PT&cmd=list&device_id=5&x=1", "/sync.asp"},
      {"/sync.asp", "", "language=PT", "/sync.asp"},
      {"/sync.asp", "&cmd=a", "language=PT&&cmd=a", "/sync.asp"},
      {"/s/p.asp?", "cmd=b", "language=PT&cmd=b&", "/s/p.asp"},
      {"/sync.asp?a=1&b=2", "", "language=PT&a=1&b=2", "/sync.asp"},
  };
  for (const auto& c : cases) {
    server.Queue({"<html>ok</html>"});
    EXPECT_EQ(hh.engine->GetPage(server.Url(c.pathAndQuery), c.params), "<html>ok</html>");
    EXPECT_TRUE(hh.engine->m_pageOk);
    const auto sent = server.Requests().back();
    EXPECT_EQ(sent.body, c.body) << c.pathAndQuery;
    EXPECT_EQ(sent.target, c.target) << c.pathAndQuery;
    ASSERT_EQ(hh.engine->m_reqHeaders.size(), 2u);
    EXPECT_EQ(hh.engine->m_reqHeaders[0], "Content-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(hh.engine->m_reqHeaders[1], "Content-Length: " + std::to_string(c.body.size()));
  }
}

TEST(PageFetch, FailuresGiveAnEmptyPage) {
  EngineHarness hh;
  hh.Connect();
  ScriptedServer server;
  const auto file = hh.root / "page.bin";

  server.Queue({"first"});
  EXPECT_EQ(hh.engine->GetPage(server.Url(), "a=1"), "first");
  ASSERT_TRUE(hh.engine->SaveLastPage(file.string()));

  server.Queue({"not here", 404});
  EXPECT_EQ(hh.engine->GetPage(server.Url("/missing"), ""), "");
  EXPECT_FALSE(hh.engine->m_pageOk);
  EXPECT_TRUE(hh.engine->m_resultData.empty());
  EXPECT_FALSE(hh.engine->SaveLastPage((hh.root / "other.bin").string()));
  EXPECT_FALSE(std::filesystem::exists(hh.root / "other.bin"));
  EXPECT_EQ(ReadFile(file), "first");

  // A URL that does not parse must not reach the previous server.
  const auto before = server.Requests().size();
  EXPECT_EQ(hh.engine->GetPage("not a url", "login=secret"), "");
  EXPECT_FALSE(hh.engine->m_pageOk);
  EXPECT_EQ(server.Requests().size(), before);

  // Nobody listening.
  EXPECT_EQ(hh.engine->GetPage("http://127.0.0.1:1/sync.asp", ""), "");
  EXPECT_FALSE(hh.engine->m_pageOk);
}

TEST(PageFetch, ZeroByteEndsTheTextNotTheFile) {
  EngineHarness hh;
  hh.Connect();
  ScriptedServer server;
  const std::string body("abc\0def\xFF\r\n", 10);
  server.Queue({body});
  EXPECT_EQ(hh.engine->GetPage(server.Url(), ""), "abc");
  const auto file = hh.root / "saved.bin";
  ASSERT_TRUE(hh.engine->SaveLastPage(file.string()));
  EXPECT_EQ(ReadFile(file), body);
  EXPECT_FALSE(hh.engine->SaveLastPage((hh.root / "no" / "such" / "dir").string()));
}

TEST(PageFetch, ASavedPageReplacesALinkPlantedUnderItsName) {
  EngineHarness hh;
  hh.Connect();
  ScriptedServer server;
  const auto outside = hh.root / "outside.txt";
  std::ofstream(outside) << "keep";
  const auto toFile = hh.root / "News.pdb";
  const auto dangling = hh.root / "Other.pdb";
  std::filesystem::create_symlink(outside, toFile);
  std::filesystem::create_symlink(hh.root / "created-elsewhere", dangling);
  for (const auto& name : {toFile, dangling}) {
    server.Queue({"downloaded"});
    hh.engine->GetPage(server.Url(), "");
    ASSERT_TRUE(hh.engine->SaveLastPage(name.string()));
    EXPECT_FALSE(std::filesystem::is_symlink(name));
    EXPECT_EQ(ReadFile(name), "downloaded");
  }
  EXPECT_EQ(ReadFile(outside), "keep");
  EXPECT_FALSE(std::filesystem::exists(hh.root / "created-elsewhere"));
  for (const auto& entry : std::filesystem::directory_iterator(hh.root)) {
    EXPECT_EQ(entry.path().filename().string().find(".pdb."), std::string::npos) << "left behind: " << entry.path();
  }
}

TEST(PageFetch, CancelDuringASlowAnswer) {
  EngineHarness hh;
  hh.Connect();
  ScriptedServer server(hh.cancelWhen);  // Cancel once the server holds the request
  server.Queue({"late", 200, true});
  EXPECT_EQ(hh.engine->GetPage(server.Url(), "cmd=login"), "canceled");
  EXPECT_FALSE(hh.engine->m_pageOk);
  EXPECT_TRUE(hh.engine->m_dlgprg->m_cancel);
  // The worker ends by itself once its request is broken off.
  hh.engine->JoinPageWorker();
  EXPECT_FALSE(hh.engine->m_pageWorker.joinable());
  EXPECT_FALSE(hh.engine->m_pHttp->IsBlocked());
  server.Release();
  hh.engine->Finalize();
  EXPECT_EQ(hh.engine->m_dlgprg, nullptr);
}

TEST(PageFetch, CancelAfterTheWorkerFinishedStillCancels) {
  EngineHarness hh;
  hh.Connect();
  ScriptedServer server;
  server.Queue({"done"});
  hh.engine->m_dlgprg->m_cancel = true;
  EXPECT_EQ(hh.engine->GetPage(server.Url(), ""), "canceled");
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_FALSE(hh.engine->m_pageOk);
}

TEST(PageFetch, DialogDestroyedRightAfterACancel) {
  EngineHarness hh;
  hh.Connect();
  ScriptedServer server;
  hh.engine->m_dlgprg->m_cancel = true;
  server.Queue({"x", 200, true});
  EXPECT_EQ(hh.engine->GetPage(server.Url(), ""), "canceled");
  hh.engine->Finalize();  // joins the worker before the client goes
  server.Release();
  EXPECT_FALSE(hh.engine->m_pageWorker.joinable());
}

}  // namespace
