// The content service's answers, request by request, as the conduit would
// post them.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "catalogue_answerer.h"
#include "catalogue_credentials.h"
#include "catalogue_state.h"

namespace tarvo::server {
namespace {

namespace fs = std::filesystem;

const std::string kRejected = "<tarvoconduit><login invalido=\"1\"/></tarvoconduit>";

class Conversation : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarvo-conversation-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "files");
    std::ofstream(dir_ / "files" / "News.pdb") << "the edition";
    std::ofstream(dir_ / "catalogue.json") << R"({
          "users": [{"login": "ana", "password": "pw"}],
          "modules": [{"name": "News", "edition": "20240601", "file": "News.pdb", "title": "News de junho"}],
          "collect": ["Notas"],
          "record_changes": [{"name": "n1", "db": "Notas", "write": [{"id": 9, "text": "a b"}], "delete": [4]}]})";
    service_ = std::make_unique<CatalogueAnswerer>(load_catalogue(dir_),
                                                   std::make_unique<CatalogueState>(dir_ / "state"), nullptr);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Response post(const std::string& body, const std::string& path = "/sync") {
    Request r;
    r.method = "POST";
    r.path = path;
    r.body = body;
    r.form = parse_form(body);
    r.scheme = "http";
    r.host = "127.0.0.1";
    r.port = 8080;
    r.base = "http://127.0.0.1:8080";
    return service_->answer(r);
  }
  static std::string credentials(const std::string& password = "pw") {
    return "login=" + scramble("ana") + "&senha=" + scramble(password);
  }
  std::string login() { return post("cmd=login&" + credentials() + "&conduit=1.00&userid=1001&username=Ana").body; }
  std::string list(const std::string& device, const std::string& timestamp = "20240101") {
    return post("cmd=list&device_id=" + device + "&zembra=3&modulo=News&param=ZembraParameterBlock%7c" +
                "__tarvo_timestamp%3a" + timestamp + "%3b&unknowndbname=Notas&unknowndbtype=Note&" + credentials())
        .body;
  }

  fs::path dir_;
  std::unique_ptr<CatalogueAnswerer> service_;
};

TEST_F(Conversation, WrongCredentialsAreAskedForAgainAtEveryStep) {
  for (const char* cmd : {"login", "list", "pget"}) {
    EXPECT_EQ(post(std::string("cmd=") + cmd + "&" + credentials("nope")).body, kRejected) << cmd;
  }
  EXPECT_EQ(post("cmd=login&login=&senha=&conduit=1.00").body, kRejected);
}

TEST_F(Conversation, LoginGivesTheSameDeviceIdEveryTime) {
  const std::string first = login();
  EXPECT_EQ(first, "<tarvoconduit><device id=\"1\"/><list/></tarvoconduit>");
  EXPECT_EQ(login(), first);
}

TEST_F(Conversation, FirstListOffersTheEditionSendsChangesOnceAndCollects) {
  login();
  const std::string first = list("1");
  EXPECT_TRUE(std::regex_search(first, std::regex("<pput url=\"http://127\\.0\\.0\\.1:8080/files/20240601/[0-9]+/"
                                                  "[0-9a-f]{32}/News\\.pdb\" title=\"News de junho\"/>")))
      << first;
  EXPECT_NE(first.find("<rput db=\"Notas\" cardno=\"0\" id=\"9\" data=\"a%20b%00\"/>"), std::string::npos);
  EXPECT_NE(first.find("<rdel db=\"Notas\" cardno=\"0\" id=\"4\"/>"), std::string::npos);
  EXPECT_NE(first.find("<pget db=\"Notas\"/>"), std::string::npos);
  // Puts and deletes run before the upload, so the server gets the result.
  EXPECT_LT(first.find("<rdel"), first.find("<pget"));
  EXPECT_EQ(first.find("<list"), std::string::npos);  // nothing asks for another round

  const std::string later = list("1", "20240601");
  EXPECT_EQ(later, "<tarvoconduit><pget db=\"Notas\"/></tarvoconduit>");
}

TEST_F(Conversation, WithoutAKnownDeviceOnlyEditionsAreOffered) {
  login();
  for (const std::string device : {"", "2"}) {
    const std::string answer = list(device);
    EXPECT_NE(answer.find("<pput"), std::string::npos);
    EXPECT_EQ(answer.find("<rput"), std::string::npos) << device;
    EXPECT_EQ(answer.find("<pget"), std::string::npos) << device;
  }
  EXPECT_NE(list("1").find("<rput"), std::string::npos);  // still undelivered
}

TEST_F(Conversation, UploadsAreKeptForCollectedDatabasesOfKnownDevices) {
  login();
  const std::string upload =
      "cmd=pget&" + credentials() + "&device_id=1&dbname=Notas&dbtype=Note" + "&Notas_record=oi&Notas_record_id=9";
  const Response kept = post(upload);
  EXPECT_NE(kept.body.find("Notas: 1 registros recebidos"), std::string::npos) << kept.body;
  const auto stored = pdb::readFile(dir_ / "state" / "users" / "ana" / "1" / "Notas.pdb");
  ASSERT_EQ(stored.db.records.size(), 1u);
  EXPECT_EQ(stored.db.records[0].uniqueId, 9u);

  const std::string other = "cmd=pget&" + credentials() + "&device_id=1&dbname=Outra&Outra_record=x";
  EXPECT_EQ(post(other).body, "<tarvoconduit></tarvoconduit>");
  EXPECT_FALSE(fs::exists(dir_ / "state" / "users" / "ana" / "1" / "Outra.pdb"));
  const std::string stranger = "cmd=pget&" + credentials() + "&device_id=7&dbname=Notas&Notas_record=x";
  EXPECT_EQ(post(stranger).body, "<tarvoconduit></tarvoconduit>");
}

TEST_F(Conversation, OnlyTheCurrentEditionIsServedAndOnlyThroughASignedAddress) {
  login();
  std::smatch url;
  const std::string answer = list("1");
  ASSERT_TRUE(std::regex_search(answer, url, std::regex("url=\"http://[^/]+(/[^\"]+)\"")));
  const Response file = post("language=PT", url[1]);
  EXPECT_EQ(file.status, 200);
  EXPECT_EQ(file.body, "the edition");

  // The same file without a signature, or with another edition's, or a
  // signature that does not match: refused.
  EXPECT_EQ(post("", "/files/News.pdb").status, 403);
  EXPECT_EQ(post("", "/files/../catalogue.json").status, 403);
  std::string tampered = url[1];
  tampered.replace(tampered.find("20240601"), 8, "20240602");
  EXPECT_EQ(post("", tampered).status, 403);
  // An old edition, signed with the service's own key (a second process on
  // the same state holds it too), is no longer served.
  CatalogueState other(dir_ / "state");
  const EditionLinks links(other.link_key(), std::chrono::seconds(60));
  EXPECT_EQ(post("", links.path({"News.pdb", "20240601"}, unix_now())).status, 200);
  EXPECT_EQ(post("", links.path({"News.pdb", "20240501"}, unix_now())).status, 404);
  EXPECT_EQ(post("", links.path({"catalogue.json", "20240601"}, unix_now())).status, 404);
  EXPECT_EQ(post("cmd=rput", "/sync").body, "<tarvoconduit></tarvoconduit>");
}

}  // namespace
}  // namespace tarvo::server
