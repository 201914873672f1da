// The real server on loopback, driven the way the conduit drives it: form
// POSTs over HTTP/1.0, downloads, and the faults a sync must survive.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <nlohmann/json.hpp>

#include "files.h"
#include "server_process.h"
#include "waits.h"

using namespace syncserver_test;

namespace {

std::string log_body(const std::string& line) {
  return log_bytes(nlohmann::json::parse(line)["body"].get<std::string>());
}

bool has_header(const std::string& headers, const std::string& name) {
  std::string lower;
  for (char c : headers) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("\n" + name + ":") != std::string::npos;
}

class SyncServer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_folder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_ + "/files");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void start(const std::string& script, std::vector<std::string> more = {}) {
    ASSERT_TRUE(server_.play(dir_, script, more));
  }
  std::string at(const std::string& path) const { return server_.url() + path; }

  std::string dir_;
  ServerProcess server_;
};

}  // namespace

TEST_F(SyncServer, PlaysAConversationAndLogsEveryRequest) {
  start(R"({"rules": [
        {"match": {"cmd": "login"}, "times": 1,
         "body": "<tarvoconduit><device id=\"7\"/><list/></tarvoconduit>"},
        {"match": {"cmd": "list", "form": {"device_id": "7"}},
         "body": "<tarvoconduit><pput url=\"{{base}}/files/News.pdb\"/></tarvoconduit>"},
        {"match": {"request": 4}, "status": 500, "body": "fourth"}
    ], "unmatched": {"status": 200, "body": "<tarvoconduit></tarvoconduit>"}})");
  tarvo::test::WriteFile(dir_ + "/files/News.pdb", std::string("PDB\0\xE9\xFF", 6));

  const Fetch login = conduit_post("language=PT&cmd=login&login=&senha=");
  Reply first = fetch(at("sync.asp"), login);
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body, "<tarvoconduit><device id=\"7\"/><list/></tarvoconduit>");

  Reply list = fetch(at("sync.asp"), conduit_post("language=PT&cmd=list&device_id=7&zembra=1"));
  const std::string base = server_.url().substr(0, server_.url().size() - 1);
  EXPECT_EQ(list.body, "<tarvoconduit><pput url=\"" + base + "/files/News.pdb\"/></tarvoconduit>");

  Reply download = fetch(at("files/News.pdb"), conduit_post("language=PT"));
  EXPECT_EQ(download.status, 200);
  EXPECT_EQ(download.body, std::string("PDB\0\xE9\xFF", 6));

  EXPECT_EQ(fetch(at("sync.asp"), login).status, 500);  // fourth request
  Reply again = fetch(at("sync.asp"), login);           // login rule used up
  EXPECT_EQ(again.status, 200);
  EXPECT_EQ(again.body, "<tarvoconduit></tarvoconduit>");

  const auto lines = tarvo::test::ReadLines(dir_ + "/requests.jsonl");
  ASSERT_EQ(lines.size(), 5u);
  const auto entry = nlohmann::json::parse(lines[0]);
  EXPECT_EQ(entry["method"], "POST");
  EXPECT_EQ(entry["path"], "/sync.asp");
  EXPECT_EQ(entry["version"], "HTTP/1.0");
  EXPECT_EQ(entry["answered_by"], "rule 1");
  EXPECT_EQ(nlohmann::json::parse(lines[2])["answered_by"], "file");
  EXPECT_EQ(nlohmann::json::parse(lines[4])["answered_by"], "unmatched");
  EXPECT_EQ(server_.stop(), 0);
}

TEST_F(SyncServer, LogKeepsBodyBytesExactly) {
  start("[]");
  std::string body = "language=PT&cmd=pget&News_record=";
  body += std::string("\x00\xE9\x01\x7F\x80\xFF\r\n%\"\\", 11);
  for (int i = 0; i < 3000; ++i) body += static_cast<char>(i % 256);  // past httplib's 8 KiB form limit
  Reply reply = fetch(at("sync.asp"), conduit_post(body));
  EXPECT_EQ(reply.status, 404);

  const auto lines = tarvo::test::ReadLines(dir_ + "/requests.jsonl");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(log_body(lines[0]) == body) << "the logged body differs from the one sent";
  EXPECT_NE(lines[0].find("\\u0000\\u00e9"), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(lines[0])["body_length"], body.size());
}

TEST_F(SyncServer, ClosesAfterTheGivenNumberOfBodyBytes) {
  start(R"([
        {"match": {"path": "/cut"}, "body": "0123456789abcdefghij", "close_after": 10},
        {"match": {"path": "/files/News.pdb"}, "close_after": 0}
    ])");
  tarvo::test::WriteFile(dir_ + "/files/News.pdb", "a whole database");
  for (bool http10 : {true, false}) {
    Reply cut = fetch(at("cut"), Fetch{}.old_http(http10));
    EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(cut.body, "0123456789");
    EXPECT_NE(cut.headers.find("Content-Length: 20"), std::string::npos);
  }
  Reply none = fetch(at("files/News.pdb"));
  EXPECT_EQ(none.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(none.status, 200);
  EXPECT_EQ(none.body, "");
}

TEST_F(SyncServer, SendsWithoutLengthAndClosesAtTheEnd) {
  start(R"([{"match": {"path": "/open"}, "body": "no length here", "no_content_length": true},
              {"match": {"path": "/empty"}, "body": "", "no_content_length": true},
              {"match": {"path": "/normal"}, "body": "with length"}])");
  for (bool http10 : {true, false}) {
    Reply open = fetch(at("open"), Fetch{}.old_http(http10));
    EXPECT_EQ(open.code, CURLE_OK);
    EXPECT_EQ(open.body, "no length here");
    EXPECT_FALSE(has_header(open.headers, "content-length"));
    EXPECT_FALSE(has_header(open.headers, "transfer-encoding"));
  }
  Reply empty = fetch(at("empty"));
  EXPECT_EQ(empty.code, CURLE_OK);
  EXPECT_EQ(empty.body, "");

  // After an answer without length, a second request on the same HTTP/1.1
  // connection must find it closed; a normal answer leaves it open.
  auto answers_on_one_connection = [&](const std::string& path, const std::string& body) {
    RawConnection connection(server_.url());
    EXPECT_TRUE(connection.send("GET /" + path + " HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(connection.read_until(body));
    connection.send("GET /" + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    connection.read_to_end();
    return tarvo::test::CountOf(connection.received, "HTTP/1.1 200");
  };
  EXPECT_EQ(answers_on_one_connection("normal", "with length"), 2u);
  EXPECT_EQ(answers_on_one_connection("open", "no length here"), 1u);
}

TEST_F(SyncServer, DelaysAndStallsButDeliversEverything) {
  start(R"([
        {"match": {"path": "/late"}, "body": "late", "delay_ms": 300},
        {"match": {"path": "/stall"}, "body": "0123456789", "pause_after": 4, "pause_ms": 300},
        {"match": {"path": "/drip"}, "body": "0123456789", "chunk_bytes": 3, "chunk_delay_ms": 100,
         "no_content_length": true}
    ])");
  Reply late = fetch(at("late"));
  EXPECT_EQ(late.body, "late");
  EXPECT_GE(late.seconds, 0.29);
  Reply stall = fetch(at("stall"));
  EXPECT_EQ(stall.code, CURLE_OK);
  EXPECT_EQ(stall.body, "0123456789");
  EXPECT_GE(stall.seconds, 0.29);
  Reply drip = fetch(at("drip"));
  EXPECT_EQ(drip.code, CURLE_OK);
  EXPECT_EQ(drip.body, "0123456789");
  EXPECT_GE(drip.seconds, 0.29);  // three waits between four pieces
}

TEST_F(SyncServer, SpeaksHttpsWithACertificateMadeNow) {
  const std::string cert = dir_ + "/cert.pem", key = dir_ + "/key.pem";
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
      "-addext subjectAltName=IP:127.0.0.1 -keyout " +
      key + " -out " + cert + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  start(R"([{"match": {"cmd": "login"}, "body": "<tarvoconduit></tarvoconduit> {{scheme}}"}])", {"--tls", cert, key});
  ASSERT_EQ(server_.url().rfind("https://127.0.0.1:", 0), 0u);

  Reply reply = fetch(at("sync.asp"), conduit_post("language=PT&cmd=login").trust(cert));
  EXPECT_EQ(reply.code, CURLE_OK) << curl_easy_strerror(reply.code);
  EXPECT_EQ(reply.body, "<tarvoconduit></tarvoconduit> https");
  // Plain HTTP to the TLS port gets no answer.
  EXPECT_NE(fetch("http" + server_.url().substr(5) + "sync.asp").status, 200);
  EXPECT_EQ(server_.stop(2), 0);
}

TEST_F(SyncServer, StopsCleanlyWhileARequestIsDelayed) {
  start(R"([{"body": "slow", "delay_ms": 60000}])");
  std::thread client([this] { fetch(at("sync.asp")); });
  // The request is logged before its delay starts.
  EXPECT_TRUE(tarvo::test::WaitUntil([&] { return !tarvo::test::ReadLines(dir_ + "/requests.jsonl").empty(); }));
  EXPECT_EQ(server_.stop(2), 0);
  client.join();
}

TEST_F(SyncServer, ASecondServerOnAPortInUseFailsInOneLine) {
  start(R"([{"body": "first"}])");
  const std::string port = server_.url().substr(server_.url().rfind(':') + 1, std::string::npos);
  const ProgramRun second = run_to_end({"--port", port.substr(0, port.size() - 1), "--script", dir_ + "/script.json"});
  EXPECT_NE(second.status, 0);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, "tarvo-syncserver: cannot listen on 127.0.0.1 port " + port.substr(0, port.size() - 1) +
                            ": Address already in use\n");
  EXPECT_EQ(fetch(at("sync.asp")).body, "first");
}

TEST(SyncServerCommandLine, ExplainsBadInputInOneLine) {
  const std::string dir = temp_folder("cli");
  ProgramRun help = run_to_end({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--script FILE"), std::string::npos);

  auto one_line_error = [](const ProgramRun& run) -> std::string {
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(!run.err.empty() && run.err.find('\n') == run.err.size() - 1) << run.err;
    return run.err;
  };
  EXPECT_NE(one_line_error(run_to_end({"--bogus"})).find("unknown option: --bogus"), std::string::npos);
  EXPECT_NE(one_line_error(run_to_end({"--files", dir + "/none"})).find("not a folder"), std::string::npos);
  tarvo::test::WriteFile(dir + "/bad.json", R"([{"match": {"cmd": "login"}}, {"delay": 5}])");
  EXPECT_NE(one_line_error(run_to_end({"--script", dir + "/bad.json"})).find("rule 2: unknown key \"delay\""),
            std::string::npos);
  tarvo::test::WriteFile(dir + "/x.pem", "not a certificate");
  EXPECT_NE(one_line_error(run_to_end({"--tls", dir + "/x.pem", dir + "/x.pem"})).find("TLS"), std::string::npos);
  std::filesystem::remove_all(dir);
}
