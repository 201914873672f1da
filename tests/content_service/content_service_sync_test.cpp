// Whole HotSyncs: the real host and conduit against the content service on
// loopback, with private XDG folders and no terminal (a login dialog cancels
// at once). Every program run is bounded.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "files.h"
#include "pdb/pdb.h"
#include "run_program.h"
#include "server_process.h"
#include "service_process.h"

namespace {

namespace fs = std::filesystem;
using tarvo::test::ProgramResult;
using tarvo::test::runProgram;

using content_service_test::scramble;

class ContentServiceSync : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tarvo-content-sync-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    fs::copy(fs::path(TARVO_EXAMPLES) / "handheld", root_ / "handheld", fs::copy_options::recursive);
    fs::copy(fs::path(TARVO_EXAMPLES) / "catalogue", root_ / "catalogue", fs::copy_options::recursive);
    fs::create_directories(root_ / "catalogue" / "files");
    make("--notes", root_ / "handheld" / "card0" / "Tarvo_Notes.pdb");
    make("--news-edition", root_ / "catalogue" / "files" / "Tarvo_News.pdb");
    env_ = {{"XDG_DATA_HOME", (root_ / "data").string()},
            {"XDG_CONFIG_HOME", (root_ / "config").string()},
            {"XDG_CACHE_HOME", (root_ / "cache").string()},
            {"XDG_RUNTIME_DIR", (root_ / "run").string()},
            {"TARVO_NO_TTY", "1"}};
    fs::create_directories(root_ / "run");
    ASSERT_TRUE(server_.start_logged(
        root_, {"--catalogue", (root_ / "catalogue").string(), "--state", (root_ / "state").string()}));
    url_ = server_.url() + "sync";
    host({"settings", "set", "Comunicacao", "syncserver", url_});
  }
  void TearDown() override {
    server_.stop();
    fs::remove_all(root_);
  }

  static void make(const char* what, const fs::path& file) {
    const ProgramResult r = runProgram(TARVO_MAKE_EXAMPLE, {what, file.string()}, {});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  ProgramResult host(const std::vector<std::string>& args, int expected = 0) {
    ProgramResult r = runProgram(TARVO_HOST_BIN, args, env_);
    EXPECT_EQ(r.status, expected) << r.err;
    return r;
  }
  void store_credentials(const std::string& login, const std::string& password) {
    const std::string section = "Demo User\\" + url_;
    host({"settings", "set", section, "login", scramble(login)});
    host({"settings", "set", section, "senha", scramble(password)});
  }
  ProgramResult sync(int expected = 0) {
    return host(
        {"sync", "--no-gui", "--online", "--conduit", TARVO_CONDUIT_LIB, "--handheld", (root_ / "handheld").string()},
        expected);
  }
  std::string listing() { return host({"handheld", "list", "--handheld", (root_ / "handheld").string()}).out; }

  fs::path root_;
  std::map<std::string, std::string> env_;
  syncserver_test::ServerProcess server_;
  std::string url_;
};

// The same HotSyncs run directly and handed to a running HotSync manager:
// the server sees the same requests and the handheld ends the same.
class ContentServiceSyncBothWays : public ContentServiceSync, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ContentServiceSync::SetUp();
    if (GetParam()) host({"manager", "-r"});
  }
  void TearDown() override {
    if (GetParam()) {
      host({"manager", "--quit"});
      // Each HotSync was the manager's.
      const std::string text = tarvo::test::ReadFile(root_ / "run" / "tarvo-hotsync" / "manager.log");
      EXPECT_NE(text.find("ended with status 0"), std::string::npos) << text;
    }
    ContentServiceSync::TearDown();
  }
};
INSTANTIATE_TEST_SUITE_P(, ContentServiceSyncBothWays, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "HandedToTheManager" : "Direct"; });

TEST_P(ContentServiceSyncBothWays, FirstHotSyncQueuesTheEditionAndTheSecondInstallsIt) {
  store_credentials("demo", "palmtop");

  sync();
  // The edition comes through an address signed for it.
  EXPECT_EQ(server_.steps(), "login list@1 /files/Tarvo_News.pdb pget@1 ");
  EXPECT_TRUE(std::regex_search(server_.logged().at(2)["path"].get<std::string>(),
                                std::regex("^/files/20240601000000/[0-9]+/[0-9a-f]{32}/Tarvo_News\\.pdb$")));
  EXPECT_NE(host({"users"}).out.find("Demo User\t1 queued"), std::string::npos);
  // The record changes reached the handheld before the upload, so the
  // server's copy holds them too.
  const auto kept = pdb::readFile(root_ / "state" / "users" / "demo" / "1" / "Tarvo Notes.pdb").db;
  ASSERT_EQ(kept.records.size(), 2u);
  EXPECT_EQ(kept.records[0].uniqueId, 2u);  // note 1 was deleted
  EXPECT_EQ(kept.records[1].uniqueId, 100u);
  EXPECT_NE(listing().find("Tarvo News                       DATA  Tarv           1"), std::string::npos);

  const std::size_t first = server_.logged().size();
  const ProgramResult second = sync();
  EXPECT_NE(second.out.find("installed 1 queued file"), std::string::npos) << second.out;
  EXPECT_NE(listing().find("Tarvo News                       DATA  Tarv           2        4"), std::string::npos);
  // Same device, nothing new to download, the notes collected again.
  EXPECT_EQ(server_.steps(first), "login list@1 pget@1 ");
  EXPECT_NE(host({"users"}).out.find("Demo User\t0 queued"), std::string::npos);

  const std::string log = host({"log", "--user", "Demo User"}).out;
  EXPECT_NE(log.find("Tarvo Notes: 2 registros recebidos pelo servidor"), std::string::npos) << log;

  // What the provider sees: the device, the edition offered and installed
  // at the second HotSync, and both uploads of the notes.
  auto admin = [&](const char* what) {
    const auto run = syncserver_test::run_to_end({"admin", what, "--state", (root_ / "state").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
  };
  EXPECT_TRUE(std::regex_search(admin("devices"), std::regex("\n1\tdemo\tDemo User\t[0-9]+\t")));
  EXPECT_TRUE(std::regex_search(admin("deliveries"),
                                std::regex("\n1\tdemo\tTarvo News\t20240601000000\t[-0-9T:Z]+\t[0-9]{4}-[-0-9T:Z]+\n")))
      << admin("deliveries");
  const std::string collected = admin("collected");
  EXPECT_EQ(std::count(collected.begin(), collected.end(), '\n'), 3) << collected;
  EXPECT_NE(collected.find("1\tdemo\tTarvo Notes\t2\t"), std::string::npos) << collected;
}

TEST_F(ContentServiceSync, WrongPasswordEndsTheConversationAfterTheLogin) {
  store_credentials("demo", "wrong");
  const std::string before = listing();

  const ProgramResult r = sync(4);  // some servers could not be done
  EXPECT_NE(r.out.find("OpenConduit returned 1"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Tarvo - 127.0.0.1: login n\xC3\xA3o informado."), std::string::npos) << r.err;
  // Asked to log in again, the conduit had nobody to ask and stopped.
  EXPECT_EQ(server_.steps(), "login ");
  EXPECT_EQ(listing(), before);
  EXPECT_FALSE(fs::exists(root_ / "state" / "users"));
}

// The example catalogue starts as the docs show it, keeps what it learns
// under $XDG_STATE_HOME rather than in the source tree, and the server with
// nothing to serve says how to use it.
TEST(ExampleCatalogue, StartsAsDocumentedWithItsStateOutside) {
  const fs::path root = syncserver_test::temp_folder("example-catalogue");
  const fs::path catalogue = fs::path(TARVO_EXAMPLES) / "catalogue";
  ASSERT_EQ(runProgram(TARVO_MAKE_EXAMPLE, {"--news-edition", (root / "news.pdb").string()}, {}).status, 0);
  EXPECT_EQ(tarvo::test::ReadFile(root / "news.pdb"), tarvo::test::ReadFile(catalogue / "files" / "Tarvo_News.pdb"))
      << "run tarvo-make-example-handheld --news-edition examples/catalogue/files/Tarvo_News.pdb";

  ::setenv("XDG_STATE_HOME", (root / "state-home").c_str(), 1);
  syncserver_test::ServerProcess server;
  ASSERT_TRUE(server.start({"--catalogue", catalogue.string()}));
  const auto login = syncserver_test::fetch(
      server.url() + "sync",
      syncserver_test::conduit_post("language=PT&cmd=login&login=" + scramble("demo") +
                                    "&senha=" + scramble("palmtop") + "&username=Demo&userid=1"));
  EXPECT_NE(login.body.find("<device id="), std::string::npos) << login.body;
  EXPECT_EQ(server.stop(), 0);
  ::unsetenv("XDG_STATE_HOME");
  EXPECT_TRUE(fs::exists(root / "state-home" / "tarvo-syncserver" / "state.sqlite"));
  EXPECT_FALSE(fs::exists(catalogue / "state"));

  const ProgramResult bare = syncserver_test::run_to_end({});
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.err.rfind("usage: tarvo-syncserver", 0), 0u) << bare.err;
  fs::remove_all(root);
}

}  // namespace
