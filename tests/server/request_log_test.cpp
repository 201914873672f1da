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

TEST(RequestLog, LineIsAsciiAndGivesBackTheExactBytes) {
    Request request;
    request.seq = 3;
    request.method = "POST";
    request.target = "/sync.asp?x=%E9";
    request.path = "/sync.asp";
    request.query = "x=%E9";
    request.version = "HTTP/1.0";
    request.headers = {{"User-Agent", "Tarvo \xE9"}, {"Content-Type", "application/x-www-form-urlencoded"}};
    request.body = std::string("cmd=pget&rec_record=\x00\xE9\xFF\n\"", 25);
    request.form = parse_form(request.body);
    Response response;
    response.status = 404;
    response.answered_by = "unmatched";

    const std::string line = RequestLog::format(request, response);
    for (const char c : line) {
        ASSERT_GT(static_cast<unsigned char>(c), 0x1F);
        ASSERT_LT(static_cast<unsigned char>(c), 0x80);
    }
    EXPECT_NE(line.find("\\u0000\\u00e9\\u00ff"), std::string::npos);

    const auto json = nlohmann::json::parse(line);
    EXPECT_EQ(from_json_text(json["body"]), request.body);
    EXPECT_EQ(json["body_length"], request.body.size());
    EXPECT_EQ(from_json_text(json["headers"][0][1]), "Tarvo \xE9");
    EXPECT_EQ(json["version"], "HTTP/1.0");
    EXPECT_EQ(json["seq"], 3);
    EXPECT_EQ(json["status"], 404);
    EXPECT_EQ(json["answered_by"], "unmatched");
    EXPECT_EQ(from_json_text(json["form"][1][1]), std::string("\x00\xE9\xFF\n\"", 5));
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
