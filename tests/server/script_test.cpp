#include "script.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "scripted_answerer.h"

using namespace tarvo::server;
namespace fs = std::filesystem;

namespace {

Request post(std::uint64_t seq, const std::string& path, const std::string& body) {
  Request request;
  request.seq = seq;
  request.method = "POST";
  request.path = path;
  request.body = body;
  request.form = parse_form(body);
  request.scheme = "http";
  request.host = "127.0.0.1";
  request.port = 8123;
  return request;
}

std::string error_of(const std::string& json) {
  try {
    parse_script(json, ".");
  } catch (const ScriptError& e) {
    return e.what();
  }
  return "accepted";
}

}  // namespace

TEST(Script, RefusesFaultyScriptsNamingRuleAndKey) {
  EXPECT_EQ(error_of(R"([{"match":{"cmd":"login"},"time":1}])"), "rule 1: unknown key \"time\"");
  EXPECT_EQ(error_of(R"([{}, {"match":{"command":"x"}}])"), "rule 2: unknown key \"command\"");
  EXPECT_EQ(error_of(R"([{"body":"a","file":"b"}])"), "rule 1: give only one of body, body_b64 and file");
  EXPECT_EQ(error_of(R"([{"status":99}])"), "rule 1: status must lie in 100..599");
  EXPECT_EQ(error_of(R"([{"delay_ms":-5}])"), "rule 1: delay_ms must be a whole number >= 0");
  EXPECT_EQ(error_of(R"([{"times":1.5}])"), "rule 1: times must be a whole number >= 0");
  EXPECT_EQ(error_of(R"([{"body":"{{prot}}"}])"), "rule 1: unknown placeholder {{prot}}");
  EXPECT_EQ(error_of(R"([{"chunk_delay_ms":10}])"), "rule 1: chunk_delay_ms needs chunk_bytes");
  EXPECT_EQ(error_of(R"([{"body_b64":"***"}])"), "rule 1: body_b64 is not valid base64");
  EXPECT_EQ(error_of(R"([{"headers":{"X":"a\r\nInjected: 1"}}])"), "rule 1: header text holds a line break");
  EXPECT_EQ(error_of(R"([{"match":{"request":0}}])"), "rule 1: request counts from 1");
  EXPECT_EQ(error_of(R"({"rules":[], "unmatched":{"sttaus":200}})"), "unmatched: unknown key \"sttaus\"");
  EXPECT_EQ(error_of(R"({"rule":[]})"), "script: unknown key \"rule\"");
  EXPECT_NE(error_of("[{\"body\":\"\\u20ac\"}]").find("above U+00FF"), std::string::npos);
  EXPECT_EQ(error_of("[{]").rfind("not valid JSON", 0), 0u);
}

TEST(Script, OutOfRangeNumbersAndZeroBytesGiveOneLineWithThePlace) {
  const std::string huge = error_of(R"([{"status":200}, {"status":1e400}])");
  EXPECT_EQ(huge.rfind("not usable JSON at byte 32", 0), 0u) << huge;
  EXPECT_NE(huge.find("1e400"), std::string::npos) << huge;
  EXPECT_EQ(error_of(R"([{"match":{"form":{"a\u0000b":"x"}}}])"), "accepted");  // a field name of bytes, zero too
  EXPECT_EQ(error_of(R"([{"ti\u0000me":1}])"), "rule 1: unknown key \"ti\\u0000me\"");
  EXPECT_EQ(error_of(R"([{"headers":{"X":"a\u0000b"}}])"), "rule 1: header text holds a control character");
  // Waits are bounded: past the clock's range they would not happen at all.
  EXPECT_EQ(error_of(R"([{"delay_ms":18446744073709551615}])"), "rule 1: delay_ms must be at most 3600000 (an hour)");
  EXPECT_EQ(error_of(R"([{"chunk_bytes":1,"chunk_delay_ms":3600001}])"),
            "rule 1: chunk_delay_ms must be at most 3600000 (an hour)");
  EXPECT_EQ(error_of(R"([{"delay_ms":3600000}])"), "accepted");
}

TEST(Script, MatchesOnEveryGivenCondition) {
  const Script script = parse_script(R"([
        {"match": {"method": "post", "path": "/sync.asp", "cmd": "pget", "form": {"dbname": "Not\u00edcias"}}},
        {"match": {"path": "/files/*"}},
        {"match": {"request": 2}}
    ])",
                                     ".");
  const auto& full = script.rules[0].match;
  EXPECT_TRUE(matches(full, post(1, "/sync.asp", "cmd=pget&dbname=Not%EDcias")));
  EXPECT_FALSE(matches(full, post(1, "/sync.asp", "cmd=pget&dbname=Noticias")));
  EXPECT_FALSE(matches(full, post(1, "/sync.asp", "cmd=PGET&dbname=Not%EDcias")));
  EXPECT_FALSE(matches(full, post(1, "/sync.aspx", "cmd=pget&dbname=Not%EDcias")));
  EXPECT_FALSE(matches(full, post(1, "/sync.asp", "dbname=Not%EDcias")));

  EXPECT_TRUE(matches(script.rules[1].match, post(1, "/files/a/b.pdb", "")));
  EXPECT_FALSE(matches(script.rules[1].match, post(1, "/filesx", "")));
  EXPECT_TRUE(matches(script.rules[2].match, post(2, "/", "")));
  EXPECT_FALSE(matches(script.rules[2].match, post(3, "/", "")));
}

TEST(ScriptedAnswerer, UsesRulesInOrderUntilTheirTimesRunOut) {
  ScriptedAnswerer answerer(parse_script(R"({"rules": [
        {"match": {"cmd": "login"}, "times": 1, "body": "first {{seq}}"},
        {"match": {"cmd": "login"}, "times": 0, "body": "never"},
        {"match": {"cmd": "login"}, "body": "again {{base}} {{form.device_id}}|{{form.none}}|"}
    ], "unmatched": {"status": 200, "body": "<tarvoconduit></tarvoconduit>"}})",
                                         "."),
                            nullptr);

  Response first = answerer.answer(post(1, "/sync.asp", "cmd=login"));
  EXPECT_EQ(first.body, "first 1");
  EXPECT_EQ(first.answered_by, "rule 1");
  Response second = answerer.answer(post(2, "/sync.asp", "cmd=login&device_id=X%201"));
  EXPECT_EQ(second.body, "again http://127.0.0.1:8123 X 1||");
  EXPECT_EQ(second.answered_by, "rule 3");
  EXPECT_EQ(answerer.answer(post(3, "/sync.asp", "cmd=login")).answered_by, "rule 3");

  Response other = answerer.answer(post(4, "/sync.asp", "cmd=list"));
  EXPECT_EQ(other.status, 200);
  EXPECT_EQ(other.body, "<tarvoconduit></tarvoconduit>");
  EXPECT_EQ(other.answered_by, "unmatched");
}

TEST(ScriptedAnswerer, RuleWithoutContentAddsFaultsToTheDownload) {
  const fs::path dir = fs::temp_directory_path() / ("syncserver-script-" + std::to_string(::getpid()));
  fs::create_directories(dir / "files");
  std::ofstream(dir / "files" / "News.pdb", std::ios::binary) << std::string("PDB\0\xE9", 5);
  std::ofstream(dir / "answer.bin", std::ios::binary) << "from the script folder";

  ScriptedAnswerer answerer(parse_script(R"([
        {"match": {"path": "/files/News.pdb"}, "times": 1, "close_after": 2, "headers": {"X-Try": "1"}},
        {"match": {"path": "/local"}, "file": "answer.bin", "status": 201},
        {"match": {"path": "/gone"}, "file": "missing.bin"}
    ])",
                                         dir),
                            std::make_unique<FileStore>(dir / "files"));

  Response faulty = answerer.answer(post(1, "/files/News.pdb", ""));
  EXPECT_EQ(faulty.status, 200);
  EXPECT_EQ(faulty.body, std::string("PDB\0\xE9", 5));
  EXPECT_EQ(faulty.faults.close_after, 2u);
  EXPECT_EQ(faulty.headers, (HeaderList{{"X-Try", "1"}}));
  EXPECT_EQ(faulty.answered_by, "rule 1");

  Response plain = answerer.answer(post(2, "/files/News.pdb", ""));
  EXPECT_EQ(plain.body, std::string("PDB\0\xE9", 5));
  EXPECT_FALSE(plain.faults.close_after);
  EXPECT_EQ(plain.answered_by, "file");
  EXPECT_EQ(answerer.answer(post(3, "/files/Other.pdb", "")).status, 404);

  Response local = answerer.answer(post(4, "/local", ""));
  EXPECT_EQ(local.status, 201);
  EXPECT_EQ(local.body, "from the script folder");
  EXPECT_EQ(answerer.answer(post(5, "/gone", "")).status, 404);
  EXPECT_EQ(answerer.answer(post(6, "/elsewhere", "")).status, 404);
  fs::remove_all(dir);
}
