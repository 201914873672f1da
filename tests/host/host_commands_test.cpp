// The host's inspection and queueing commands, run as a user runs them.
#include <fstream>

#include "host_fixture.h"
#include "needs.h"
#include "pty_session.h"

namespace tarvo::test {
namespace {

using ::testing::HasSubstr;

size_t countLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

TEST_F(HostTest, ListShowsEveryDatabaseWithItsFields) {
  const ProgramResult r = host({"handheld", "list", "--handheld", handheld_.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(countLines(r.out), 3u) << r.out;  // heading and two databases
  EXPECT_THAT(r.out, ::testing::ContainsRegex("0 +Tarvo +appl +Tarv +3 +3\n"));
  EXPECT_THAT(r.out, ::testing::ContainsRegex("0 +Tarvo News +DATA +Tarv +1 +3\n"));
}

TEST_F(HostTest, DumpShowsHeaderAndRecordBytes) {
  const ProgramResult r = host({"handheld", "dump", "--handheld", handheld_.string(), "Tarvo News"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("name:          Tarvo News\n"));
  EXPECT_THAT(r.out, HasSubstr("type:          DATA\n"));
  EXPECT_THAT(r.out, HasSubstr("created:       2024-01-01 00:00:00\n"));
  EXPECT_THAT(r.out, HasSubstr("record 2: id 3 "));
  // The parameter record: the 4-byte header, then the block, hex and text.
  EXPECT_THAT(r.out, HasSubstr("0000  00 00 00 01 5a 65 6d 62 72 61 50 61 72 61 6d 65  ....ZembraParame"));
}

TEST_F(HostTest, ResourceDatabasesListTheirResources) {
  const ProgramResult file = host({"pdb", "dump", (handheld_ / "card0" / "Tarvo.prc").string()});
  const ProgramResult onHandheld = host({"handheld", "dump", "--handheld", handheld_.string(), "Tarvo"});
  for (const ProgramResult& r : {file, onHandheld}) {
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("resources:     3\n"));
    EXPECT_THAT(r.out, HasSubstr("resource 2: type code id 1 size 2\n    0000  4e 75"));
  }
}

TEST_F(HostTest, DumpOfARealFileFromAnotherTool) {
  const std::filesystem::path memo = std::filesystem::path(TARVO_TESTDATA) / "pdb" / "MemoDB.pdb";
  TARVO_NEEDS(
      std::filesystem::exists(memo),
      memo.string() + " is missing: real Palm files made by other tools live beside the project in shared/testdata");
  const ProgramResult r = host({"pdb", "dump", memo.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("creator:       memo\n"));
  EXPECT_THAT(r.out, HasSubstr("records:       5\n"));
  EXPECT_THAT(r.out, HasSubstr("backup"));
}

// Names on the handheld are Windows-1252; the terminal gets UTF-8, and a
// name typed in UTF-8 finds the database.
TEST_F(HostTest, HandheldNamesArePrintedAndMatchedAsUtf8) {
  writeDatabase(handheld_ / "card0" / "Noticias.pdb",
                "Not\xED"
                "cias",
                {"ol\xE1"});
  const ProgramResult list = host({"handheld", "list", "--handheld", handheld_.string()});
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_THAT(list.out, HasSubstr("Not\xC3\xAD"
                                  "cias"));
  const ProgramResult dump = host({"handheld", "dump", "--handheld", handheld_.string(),
                                   "Not\xC3\xAD"
                                   "cias"});
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_THAT(dump.out, ::testing::ContainsRegex("6f 6c e1 +ol\xC3\xA1\n"));
}

TEST_F(HostTest, InstallQueuesValidFilesForAUser) {
  const auto file = writeDatabase(root_ / "Extra.pdb", "Extra", {"one"});
  const ProgramResult unknown = host({"install", "--user", "Ana", file.string()});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_THAT(unknown.err, HasSubstr("no HotSync user Ana"));

  const ProgramResult created = host({"install", "--user", "Ana", "--create", file.string()});
  ASSERT_EQ(created.status, 0) << created.err;
  // The copy is taken at once: changing the source later does not matter.
  writeDatabase(file, "Changed", {"two"});
  const ProgramResult users = host({"users"});
  ASSERT_EQ(users.status, 0) << users.err;
  EXPECT_EQ(users.out, "Ana\t1 queued\n");

  // A name outside ASCII reaches the same user folder.
  ASSERT_EQ(host({"install", "--user", "Jo\xC3\xA3o", "--create", file.string()}).status, 0);
  EXPECT_EQ(host({"users"}).out, "Ana\t1 queued\nJo\xC3\xA3o\t1 queued\n");
}

// A database queued twice under two file names is queued once, the later
// copy, with a word; the queue can be listed and emptied, a user deleted.
TEST_F(HostTest, InstallQueueReplacesByDatabaseNameAndCanBeListedAndEmptied) {
  const auto first = writeDatabase(root_ / "news-1.pdb", "News", {"old"});
  const auto second = writeDatabase(root_ / "news-2.pdb", "News", {"new"});
  const auto other = writeDatabase(root_ / "Other.pdb", "Other", {"x"});
  ASSERT_EQ(host({"install", "--user", "Ana", "--create", first.string(), other.string()}).status, 0);
  const ProgramResult again = host({"install", "--user", "Ana", second.string()});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out,
            "queued " + second.string() + " for Ana\n  replacing the queued news-1.pdb (database \"News\")\n");

  const ProgramResult listed = host({"install", "--list"});
  ASSERT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out, "Ana\tOther.pdb\tOther\t" + std::to_string(std::filesystem::file_size(other)) +
                            "\nAna\tnews-2.pdb\tNews\t" + std::to_string(std::filesystem::file_size(second)) + "\n");

  EXPECT_EQ(host({"install", "--remove", "News", "--user", "Ana"}).out, "removed news-2.pdb from the queue of Ana\n");
  const ProgramResult gone = host({"install", "--remove", "News", "--user", "Ana"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, HasSubstr("nothing named News is queued for Ana"));
  EXPECT_EQ(host({"install", "--remove", "Other.pdb", "--user", "Ana"}).status, 0);
  EXPECT_EQ(host({"install", "--list", "--user", "Ana"}).out, "");

  EXPECT_EQ(host({"users", "--delete", "Ana", "--yes"}).out, "deleted HotSync user \"Ana\"\n");
  const ProgramResult none = host({"users"});
  EXPECT_EQ(none.out, "");
  EXPECT_THAT(none.err, HasSubstr("no HotSync user yet"));
  EXPECT_EQ(host({"users", "--delete", "Ana", "--yes"}).status, 1);
}

// Nothing ever registered: the listing must not say "none" above a conduit that runs.
TEST_F(HostTest, ConduitsSayTheInstalledOneStandsInWhileNoneIsRegistered) {
  EXPECT_THAT(
      host({"conduits"}).out,
      ::testing::StartsWith("no conduit registered; the one installed beside the host stands in\nHotSync order:\n"));
}

TEST_F(HostTest, DeletingAUserAsksFirstAndKeepsItsBackupsUnlessTold) {
  const std::filesystem::path backup = dataHome_ / "tarvo-hotsync" / "users" / "Ana" / "backup";
  auto makeAna = [&] {
    ASSERT_EQ(host({"users", "--add", "Ana"}).status, 0);
    writeDatabase(backup / "Memo.pdb", "Memo", {"kept"});
  };
  makeAna();
  // Nobody to ask: nothing deleted.
  const ProgramResult refused = host({"users", "--delete", "Ana"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("--yes"));
  EXPECT_EQ(host({"users"}).out, "Ana\t0 queued\n");

  // On a terminal: "n" keeps the user, "y" deletes it but not its backups,
  // which restore still finds.
  for (const char* answer : {"n", "y"}) {
    PtySession pty;
    ASSERT_TRUE(pty.spawn(TARVO_HOST_BIN, {"users", "--delete", "Ana"}, hostEnv()));
    ASSERT_TRUE(pty.waitFor("[y/N]")) << pty.screen();
    EXPECT_THAT(pty.screen(), HasSubstr("its backups stay"));
    pty.type(std::string(answer) + "\n");
    EXPECT_EQ(pty.finish(), 0) << pty.screen();
  }
  EXPECT_EQ(host({"users"}).out, "");
  EXPECT_TRUE(std::filesystem::exists(backup / "Memo.pdb"));
  EXPECT_FALSE(std::filesystem::exists(backup.parent_path() / "install"));
  const ProgramResult restore = host({"restore", "--user", "Ana", "--handheld", handheld_.string()});
  EXPECT_EQ(restore.status, 0) << restore.err;
  EXPECT_THAT(restore.out, HasSubstr("restored Memo"));

  // Asked to, the backups go too.
  makeAna();
  EXPECT_EQ(host({"users", "--delete", "Ana", "--with-backups", "--yes"}).status, 0);
  EXPECT_FALSE(std::filesystem::exists(backup.parent_path()));
}

TEST_F(HostTest, InstallSaysWhyAFileCouldNotBeQueued) {
  const ProgramResult missing = host({"install", "--user", "Ana", "--create", (root_ / "nowhere.pdb").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("nowhere.pdb: no such file"));
  EXPECT_THAT(missing.err, ::testing::Not(HasSubstr("not a Palm database")));

  // No room for the copy: the file size limit stands in for a full disk.
  const auto big = writeDatabase(root_ / "Big.pdb", "Big", std::vector<std::string>(50, std::string(4000, 'x')));
  const ProgramResult full = runProgram("/bin/sh",
                                        {"-c", "trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\"", TARVO_HOST_BIN,
                                         "install", "--user", "Ana", "--create", big.string()},
                                        hostEnv());
  EXPECT_EQ(full.status, 1);
  EXPECT_THAT(full.err, HasSubstr("Big.pdb: could not be queued for Ana: "));
  EXPECT_THAT(full.err, HasSubstr("File too large"));
  EXPECT_EQ(host({"install", "--list", "--user", "Ana"}).out, "");
}

TEST_F(HostTest, InstallRefusesTheWholeBatchWhenOneFileIsNotADatabase) {
  const auto good = writeDatabase(root_ / "Good.pdb", "Good", {"x"});
  const auto bad = root_ / "bad.pdb";
  std::ofstream(bad) << "this is not a Palm database";
  const ProgramResult r = host({"install", "--user", "Ana", "--create", good.string(), bad.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(countLines(r.err), 1u) << r.err;
  EXPECT_THAT(r.err, HasSubstr("bad.pdb: not a Palm database"));
  EXPECT_EQ(host({"users"}).out, "");  // nothing made, nothing queued
}

// Bad input of every kind ends with status 1 and exactly one line on
// standard error; nothing hangs waiting for input.
TEST_F(HostTest, BadInputGivesOneLineAndStatusOne) {
  const std::string missing = (root_ / "no-such-folder").string();
  const std::string notDb = (handheld_ / "device.conf").string();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"sync"},
      {"sync", "--handheld", missing},
      {"sync", "--handheld", handheld_.string(), "--offline", "--online"},
      {"sync", "--handheld"},
      {"sync", "--bogus"},
      {"handheld", "list"},
      {"handheld", "list", "--handheld", missing},
      {"handheld", "dump", "--handheld", handheld_.string()},
      {"handheld", "dump", "--handheld", handheld_.string(), "No Such DB"},
      {"handheld", "erase", "--handheld", handheld_.string()},
      {"pdb", "dump", notDb},
      {"pdb", "dump", missing},
      {"install", "--user", "Ana"},
      {"install", "--user", "Ana", "--create", notDb},
      {"log", "--handheld", missing},
      {"log", "--user", "Nobody"},
      {"users", "extra"},
      {"login"},  // no HotSync user yet, so no default one
  };
  for (const auto& args : cases) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    const ProgramResult r = host(args);
    EXPECT_EQ(r.status, 1) << joined << "\n" << r.out << r.err;
    if (!args.empty()) {
      EXPECT_EQ(countLines(r.err), 1u) << joined << "\n" << r.err;
    }
  }
}

TEST_F(HostTest, EveryCommandHasHelp) {
  for (const std::string command : {"sync", "handheld", "pdb", "users", "log", "install", "login"}) {
    const ProgramResult r = host({command, "--help"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_THAT(r.out, HasSubstr("usage: tarvo-hotsync " + command)) << command;
  }
  const ProgramResult version = host({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_THAT(version.out, HasSubstr("tarvo-hotsync "));
}

// The login command stores what it reads, scrambled, where the conduit's
// login looks: under the user for the default server, under user\server
// for another.
TEST_F(HostTest, LoginStoresScrambledCredentialsWhereTheConduitReadsThem) {
  const std::string typed = "ana\nsenh\xC3\xA1\n";  // "senhá": one Windows-1252 byte 225
  const auto login = [&](const std::vector<std::string>& args) {
    return runProgramWithInput(TARVO_HOST_BIN, args, hostEnv(), &typed);
  };
  ProgramResult r = login({"login", "--user", "Ana", "--server", "http://127.0.0.1:1/sync"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(host({"settings", "get", "Ana\\http://127.0.0.1:1/sync", "login"}).out, "097110097\n");
  EXPECT_EQ(host({"settings", "get", "Ana\\http://127.0.0.1:1/sync", "senha"}).out, "115101110104225\n");

  // Without --server: the server of modules that name none.
  ASSERT_EQ(host({"settings", "set", "Comunicacao", "syncserver", "http://127.0.0.1:2/s"}).status, 0);
  ASSERT_EQ(login({"login", "--user", "Ana"}).status, 0);
  EXPECT_EQ(host({"settings", "get", "Ana\\http://127.0.0.1:2/s", "login"}).out, "097110097\n");

  // An address that is no web address is refused, with what is wrong.
  for (const char* bad : {"ftp://foo", "127.0.0.1:45785/sync"}) {
    r = login({"login", "--user", "Ana", "--server", bad});
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_THAT(r.err, HasSubstr(std::string("tarvo-hotsync: --server ") + bad + ": ")) << bad;
  }

  const std::string cut = "only-a-login\n";
  r = runProgramWithInput(TARVO_HOST_BIN, {"login", "--user", "Ana"}, hostEnv(), &cut);
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("no senha given"));
}

// Small things a first user meets.
TEST_F(HostTest, HelpAndMessagesSayWhatTheyMean) {
  const std::filesystem::path missing = root_ / "missing.pdb";
  const ProgramResult dump = host({"pdb", "dump", missing.string()});
  EXPECT_EQ(dump.status, 1);
  EXPECT_EQ(dump.err, "tarvo-hotsync: " + missing.string() + ": cannot open: No such file or directory\n");

  const ProgramResult help = runProgram(TARVO_MAKE_EXAMPLE, {"--help"}, {});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("usage: tarvo-make-example-handheld"));
  EXPECT_FALSE(std::filesystem::exists("--help"));
}

// The settings command reaches the store under the host's XDG_CONFIG_HOME.
TEST_F(HostTest, SettingsCommandUsesThePrivateConfigFolder) {
  const ProgramResult set = host({"settings", "set", "Comunicacao", "syncserver", "http://127.0.0.1:1/sync"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_TRUE(std::filesystem::exists(root_ / "config" / "tarvo" / "settings.sqlite"));
  const ProgramResult get = host({"settings", "get", "Comunicacao", "syncserver"});
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_THAT(get.out, HasSubstr("http://127.0.0.1:1/sync"));
}

// A user set up before the handheld's first HotSync: added by name, with
// settings and queued files that the first HotSync of that name finds.
TEST_F(HostTest, AUserCanBeSetUpBeforeTheFirstHotSync) {
  const ProgramResult early = host({"settings", "set", "Ana Souza", "padrao", "1"});
  EXPECT_EQ(early.status, 0) << early.err;
  EXPECT_THAT(early.err, HasSubstr("warning: no HotSync user is called Ana Souza yet"));
  // A key no user's section holds is still a mistyped section.
  EXPECT_EQ(host({"settings", "set", "Ana Souza", "timout", "1"}).status, 2);

  const ProgramResult added = host({"users", "--add", "Ana Souza"});
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(host({"users"}).out, "Ana Souza\t0 queued\n");
  EXPECT_EQ(host({"users", "--add", "Ana Souza"}).status, 1);
  EXPECT_EQ(host({"users", "--add", ""}).status, 1);
  const ProgramResult known = host({"settings", "set", "Ana Souza", "padrao", "1"});
  EXPECT_EQ(known.status, 0);
  EXPECT_EQ(known.err, "");
}

}  // namespace
}  // namespace tarvo::test
