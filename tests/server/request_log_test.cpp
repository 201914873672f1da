#include "request_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "byte_text.h"

using namespace tarvo::server;

namespace {

std::string from_json_text(const nlohmann::json& value) {
  return json_text_to_bytes(value.get<std::string>()).value_or("<not bytes>");
}

}  // namespace

// Wire text is not UTF-8; the JSON library throws on such strings unless
// every one of them goes through the byte mapping.
TEST(RequestLog, WireBytesOutsideTheBodyAreCarriedToo) {
  Request request;
  request.target = "/a\xE9";
  request.headers = {{"X-Name\xFF", "Jo\xE3o"}};
  request.form = parse_form("nome%E9=S%E3o");
  const auto json = nlohmann::json::parse(RequestLog::format(request, Response{}));
  EXPECT_EQ(from_json_text(json["target"]), "/a\xE9");
  EXPECT_EQ(from_json_text(json["headers"][0][0]), "X-Name\xFF");
  EXPECT_EQ(from_json_text(json["headers"][0][1]), "Jo\xE3o");
  EXPECT_EQ(from_json_text(json["form"][0][0]), "nome\xE9");
  EXPECT_EQ(from_json_text(json["form"][0][1]), "S\xE3o");
}

TEST(RequestLog, FileIsPrivateAndOneLinePerRequest) {
  const std::string path = ::testing::TempDir() + "syncserver-log-test.jsonl";
  std::string error;
  {
    std::ofstream(path) << "left over from an earlier run\n";
    auto log = RequestLog::open(path, error);
    ASSERT_TRUE(log) << error;
    Request request;
    request.body = "a\nb";
    log->record(request, Response{});
    log->record(request, Response{});
  }
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::ifstream in(path);
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    EXPECT_EQ(nlohmann::json::parse(line)["body"], "a\nb");
    ++lines;
  }
  EXPECT_EQ(lines, 2);
  std::remove(path.c_str());

  EXPECT_FALSE(RequestLog::open("/nonexistent-folder/log.jsonl", error));
  EXPECT_NE(error.find("/nonexistent-folder/log.jsonl"), std::string::npos);
}

// The content service's log keeps no password, in whatever part of the
// request it came, and tells who asked.
TEST(RequestLog, ServiceLinesHideThePasswordEverywhere) {
  Request request;
  request.client = "192.0.2.7";
  request.target = "/sync?senha=097&x=1";
  request.query = "senha=097&x=1";
  request.body = "cmd=login&login=097&senha=098099&senhas=1";
  request.form = parse_form(request.body);
  const std::string line = RequestLog::format(request, Response{}, true);
  EXPECT_EQ(line.find("098099"), std::string::npos) << line;
  const auto json = nlohmann::json::parse(line);
  EXPECT_EQ(json["client"], "192.0.2.7");
  EXPECT_EQ(json["target"], "/sync?senha=*&x=1");
  EXPECT_EQ(json["body"], "cmd=login&login=097&senha=*&senhas=1");
  EXPECT_EQ(json["form"][2][1], "*");
  EXPECT_EQ(json["form"][3][1], "1");  // another field that merely starts alike
  // The test recorder keeps every byte.
  EXPECT_NE(RequestLog::format(request, Response{}).find("098099"), std::string::npos);
}
