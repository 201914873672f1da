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
