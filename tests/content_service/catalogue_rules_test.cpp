// The catalogue's own rules: what a catalogue may say, which edition is
// newer, whose credentials these are, what a pget upload rebuilds into, and
// what the service remembers across restarts.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "catalogue.h"
#include "catalogue_checks.h"
#include "catalogue_collect.h"
#include "catalogue_credentials.h"
#include "catalogue_state.h"
#include "pdb/pdb.h"

namespace tarvo::server {
namespace {

namespace fs = std::filesystem;

fs::path fresh_folder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("tarvo-catalogue-" + name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "files");
  std::ofstream(dir / "files" / "News.pdb") << "edition";
  return dir;
}

Catalogue load_text(const fs::path& dir, const std::string& json) {
  std::ofstream(dir / "catalogue.json") << json;
  return load_catalogue(dir);
}

TEST(CatalogueFile, ReadsUsersModulesAndRecordChanges) {
  const fs::path dir = fresh_folder("sound");
  const Catalogue c = load_text(dir, R"({
      "users": [{"login": "ana", "password": "s\u00e9"}],
      "modules": [{"name": "News", "edition": "20240601", "file": "News.pdb"}],
      "collect": ["Notas"],
      "record_changes": [{"name": "n1", "db": "Notas", "card": 1,
                          "write": [{"id": 7, "text": "oi"}, {"data_b64": "AAE="}], "delete": [3]}]})");
  ASSERT_EQ(c.users.size(), 1u);
  EXPECT_EQ(c.users[0].password, "s\xE9");  // one byte per character, as on the wire
  ASSERT_NE(c.module("News"), nullptr);
  EXPECT_EQ(c.module("News")->title, "News");  // the name when no title is given
  EXPECT_TRUE(c.collects("Notas"));
  const RecordChanges& rc = c.record_changes.at(0);
  EXPECT_EQ(rc.card, 1u);
  EXPECT_EQ(rc.writes.at(0).data, std::string("oi\0", 3));  // texts keep their terminating zero
  EXPECT_EQ(rc.writes.at(1).data, std::string("\0\1", 2));
  EXPECT_EQ(rc.writes.at(1).id, 0u);
  EXPECT_EQ(rc.deletes, std::vector<std::uint32_t>{3});
  fs::remove_all(dir);
}

// Sound entries the service still cannot act on are named at start.
TEST(CatalogueFile, WarnsAboutEntriesNoHandheldWillList) {
  const fs::path dir = fresh_folder("warnings");
  pdb::Database other;
  other.name = "News";
  other.type = pdb::fourCC("DATA");
  other.creator = pdb::fourCC("memo");
  pdb::writeFileAtomic(dir / "files" / "Other.pdb", pdb::serialize(other));
  pdb::Database app = other;
  app.name = "App";
  app.creator = pdb::fourCC("Tarv");
  app.attributes = pdb::kAttrResourceDb;
  pdb::writeFileAtomic(dir / "files" / "App.prc", pdb::serialize(app));
  const Catalogue c = load_text(dir, R"({"users": [{"login": "a", "password": "p"}], "collect": ["News", "Notes"],
      "modules": [{"name": "News", "edition": "1", "file": "Other.pdb"},
                  {"name": "App", "edition": "1", "file": "App.prc"},
                  {"name": "Old", "edition": "1", "file": "News.pdb"}],
      "record_changes": [{"name": "r", "db": "App", "delete": [1]}]})");
  fs::permissions(dir / "catalogue.json", fs::perms::owner_read | fs::perms::owner_write);  // private
  const std::vector<std::string> warnings = catalogue_warnings(c);
  ASSERT_EQ(warnings.size(), 4u) << ::testing::PrintToString(warnings);
  EXPECT_EQ(warnings[0],
            "modules[0] (Other.pdb): creator memo, not Tarv: handhelds never list it, so no later edition is offered");
  EXPECT_EQ(warnings[1].rfind("modules[2] (News.pdb): not a Palm database", 0), 0u);
  EXPECT_EQ(warnings[2],
            "collect[0] (News): another creator's database: handhelds never list it, so it is never collected");
  EXPECT_EQ(warnings[3], "record_changes[0] (App): a resource database: records cannot be written into it");
  fs::remove_all(dir);
}

TEST(CatalogueFile, RefusesMistakesWithTheirPlace) {
  const fs::path dir = fresh_folder("mistakes");
  const std::pair<const char*, const char*> cases[] = {
      {R"({"user": []})", "unknown key \"user\""},
      {R"({"modules": [{"name": "News", "edition": "1", "file": "Gone.pdb"}]})", "modules[0].file: no such file"},
      {R"({"modules": [{"name": "News", "edition": "2024-06", "file": "News.pdb"}]})", "modules[0].edition"},
      {R"({"modules": [{"name": "News", "edition": "1", "file": "../News.pdb"}]})", "plain file name"},
      {R"({"modules": [{"name": "News", "edition": "1", "file": "News.pdb", "title": "a\"b"}]})", "title"},
      {R"({"users": [{"login": "a", "password": "1"}, {"login": "a", "password": "2"}]})", "users[1].login"},
      {R"({"users": [{"login": "\u20ac", "password": "1"}]})", "above U+00FF"},
      {R"({"collect": ["a name much longer than thirty-one bytes"]})", "collect[0]"},
      {R"({"record_changes": [{"name": "x", "db": "N", "delete": [16777216]}]})", "delete[0]"},
      {R"({"record_changes": [{"name": "x", "db": "N", "write": [{"text": "a", "data_b64": "YQ=="}]}]})", "either"},
      {"not json", "catalogue.json"},
  };
  for (const auto& [json, expected] : cases) {
    try {
      load_text(dir, json);
      ADD_FAILURE() << "accepted: " << json;
    } catch (const CatalogueError& e) {
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
    }
  }
  fs::remove_all(dir);
}

TEST(Editions, ComparedAsNumbersAndMissingTimestampsAreOld) {
  EXPECT_TRUE(newer_edition("20240601000000", "20240101000000"));
  EXPECT_FALSE(newer_edition("20240601000000", "20240601000000"));
  EXPECT_FALSE(newer_edition("20240101", "20240601"));
  EXPECT_FALSE(newer_edition("0009", "10"));  // not a text comparison
  EXPECT_TRUE(newer_edition("100", "99"));
  EXPECT_TRUE(newer_edition("1", ""));
  EXPECT_TRUE(newer_edition("1", "2024-06"));
}

TEST(Credentials, BothScrambledFormsOfTheRightPasswordOnly) {
  EXPECT_EQ(scramble("abc"), "097098099");
  EXPECT_EQ(scramble("\xE9"), "233");
  EXPECT_EQ(scramble_signed("a\xE9"), "097-23");

  const std::vector<CatalogueUser> users = {{"ana", "s\xE9", ""}, {"bia", "x", ""}};
  const auto form = [](std::string login, std::string senha) {
    return FormFields{{"login", std::move(login)}, {"senha", std::move(senha)}};
  };
  EXPECT_EQ(authenticate(users, form(scramble("ana"), scramble("s\xE9"))), &users[0]);
  EXPECT_EQ(authenticate(users, form(scramble("ana"), scramble_signed("s\xE9"))), &users[0]);
  EXPECT_EQ(authenticate(users, form(scramble("ana"), scramble("x"))), nullptr);  // bia's password
  EXPECT_EQ(authenticate(users, form("ana", "s\xE9")), nullptr);                  // not scrambled
  EXPECT_EQ(authenticate(users, form(scramble("eva"), scramble("x"))), nullptr);
  EXPECT_EQ(authenticate(users, form("", "")), nullptr);
  EXPECT_EQ(authenticate(users, FormFields{{"login", scramble("bia")}}), nullptr);
}

TEST(Collect, RecordsPairedWithTheirIdsAndIdsKeptUnique) {
  const FormFields form = parse_form(
      "cmd=pget&dbname=Tarvo%20Notes&dbtype=Note"
      "&Tarvo%20Notes_record=a%00b&Tarvo%20Notes_record_id=5"
      "&Tarvo%20Notes_record=&Tarvo%20Notes_record_id=5"    // repeated id
      "&Other_record=zz&Other_record_id=9"                  // another database's field
      "&Tarvo%20Notes_record=c&Tarvo%20Notes_record_id=-3"  // not a record id
      "&Tarvo%20Notes_record=d");                           // no id at all
  const auto db = database_from_pget(form, 1000);
  ASSERT_TRUE(db);
  EXPECT_EQ(db->name, "Tarvo Notes");
  EXPECT_EQ(db->type, pdb::fourCC("Note"));
  ASSERT_EQ(db->records.size(), 4u);
  EXPECT_EQ(db->records[0].data, (std::vector<std::uint8_t>{'a', 0, 'b'}));
  EXPECT_EQ(db->records[0].uniqueId, 5u);
  EXPECT_TRUE(db->records[1].data.empty());
  std::set<std::uint32_t> ids;
  for (const auto& r : db->records) ids.insert(r.uniqueId);
  EXPECT_EQ(ids.size(), 4u);
  EXPECT_NO_THROW(pdb::parse(pdb::serialize(*db)));

  EXPECT_FALSE(database_from_pget(parse_form("cmd=pget"), 0));
  EXPECT_FALSE(database_from_pget(parse_form("dbname=" + std::string(32, 'n')), 0));
}

TEST(State, DeviceIdsOutliveTheServerAndBelongToOneLogin) {
  const fs::path dir = fresh_folder("state") / "state";
  std::string first;
  {
    CatalogueState state(dir);
    first = state.device_for("ana", {"Ana", "1001"});
    EXPECT_EQ(state.device_for("ana", {"Ana", "1001"}), first);
    EXPECT_NE(state.device_for("ana", {"Ana", "1002"}), first);
    state.mark_delivered("ana", first, "welcome");
  }
  CatalogueState again(dir);
  EXPECT_EQ(again.device_for("ana", {"Ana", "1001"}), first);
  EXPECT_TRUE(again.owns("ana", first));
  EXPECT_FALSE(again.owns("bia", first));
  EXPECT_TRUE(again.delivered("ana", first, "welcome"));
  EXPECT_FALSE(again.delivered("ana", first, "other"));
  EXPECT_NE(again.device_for("bia", {"Ana", "1001"}), first);  // the same handheld under another login

  struct stat info {};
  ASSERT_EQ(::stat(dir.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);  // collected data stays private
  fs::remove_all(dir.parent_path());
}

TEST(State, NamesNeverLeaveTheirFolder) {
  EXPECT_EQ(file_name_for("Tarvo Notes"), "Tarvo Notes");
  EXPECT_EQ(file_name_for("a/b"), "a%2Fb");
  EXPECT_EQ(file_name_for(".."), "%2E.");
  EXPECT_EQ(file_name_for(""), "%");
  EXPECT_NE(file_name_for("a b"), file_name_for("a_b"));
}

TEST(State, LoginsLongerThanAFileNameAreRemembered) {
  const fs::path dir = fresh_folder("long") / "state";
  CatalogueState state(dir);
  const std::string login(256, 'a');
  const std::string other = std::string(255, 'a') + "b";
  EXPECT_NE(file_name_for(login), file_name_for(other));
  EXPECT_LE(file_name_for(std::string(300, '/')).size(), 255u);
  const std::string device = state.device_for(login, {"Ana", "1001"});
  ASSERT_NO_THROW(state.mark_delivered(login, device, "n1"));
  EXPECT_TRUE(state.delivered(login, device, "n1"));
  EXPECT_FALSE(state.delivered(other, device, "n1"));
  pdb::Database db;
  db.name = "Notas";
  ASSERT_NO_THROW(state.store_database(login, device, db));
  EXPECT_TRUE(fs::exists(state.database_file(login, device, "Notas")));
  fs::remove_all(dir.parent_path());
}

}  // namespace
}  // namespace tarvo::server
