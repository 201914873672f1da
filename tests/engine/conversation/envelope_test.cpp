// The envelope reader and the attribute reader, quirks included: servers
// rely on them byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tarvo_conduit.h"

namespace {

struct AttributeCase {
  std::string cmd, name, fallback, expected;
};

TEST(Envelope, AttributeReader) {
  const std::vector<AttributeCase> cases = {
      {R"(pget DB="News")", "db", "-", "News"},                        // names ignore case
      {R"(pput url="http://A/B?c=1")", "URL", "-", "http://A/B?c=1"},  // values keep theirs
      {R"(x xid="5" id="9")", "id", "-", "5"},                         // tail of a longer name matches first
      {R"(pget db="News)", "db", "-", ""},                             // no closing quote: empty, not the default
      {R"(pget)", "db", "dflt", "dflt"},
      {R"(pget db="")", "db", "dflt", ""},
      {R"(x a = "1")", "a", "dflt", "dflt"},     // no blanks around '='
      {"x a=\"caf\xE9\"", "a", "-", "caf\xE9"},  // Windows-1252 bytes pass through
      {R"(x b="1" a="2" a="3")", "a", "-", "2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CTarvoConduit::GetAttribute(c.cmd, c.name, c.fallback), c.expected) << c.cmd << " / " << c.name;
  }
}

TEST(Envelope, CommandWord) {
  EXPECT_EQ(CTarvoConduit::GetCommandId(R"(PGET db="x")"), "pget");
  EXPECT_EQ(CTarvoConduit::GetCommandId("list"), "list");
  EXPECT_EQ(CTarvoConduit::GetCommandId(" list"), "");
  EXPECT_EQ(CTarvoConduit::GetCommandId("Device\tid=\"1\""), "device\tid=\"1\"");  // only a blank ends it
}

struct PageCase {
  std::string page;
  std::vector<std::string> commands;
};

TEST(Envelope, CommandsOfAPage) {
  using namespace std::string_literals;
  const std::vector<PageCase> cases = {
      {R"(<tarvoconduit><device id="7"/><list/></tarvoconduit>)", {R"(device id="7")", "list"}},
      {R"(<tarvoconduit><a/> text <b x="1"/>)", {"a", R"(b x="1")"}},  // no closing tag
      {R"(<a/><b/>)", {}},                                             // no envelope
      {R"(<TARVOCONDUIT><a/></TARVOCONDUIT>)", {}},                    // tags are case-sensitive
      {R"(<html><body><a/><tarvoconduit> <list/> </tarvoconduit><b/></body></html>)", {"list"}},
      // An element opened inside and closed outside is taken whole.
      {R"(<tarvoconduit><a/><pget db="x"</tarvoconduit>/><b/>)", {"a", R"(pget db="x"</tarvoconduit>)"}},
      {R"(<tarvoconduit><a/><b></tarvoconduit>)", {"a"}},   // unclosed element ends the reading
      {"<tarvoconduit><a/>\0<b/></tarvoconduit>"s, {"a"}},  // a zero byte ends the page
      {R"(</tarvoconduit><tarvoconduit><a/>)", {"a"}},      // closing tag before opening
      {R"(<tarvoconduit><)", {}},
      {R"(<tarvoconduit></tarvoconduit>)", {}},
      {R"(<tarvoconduit><x v="a<b"/><y/></tarvoconduit>)", {R"(x v="a<b")", "y"}},  // '<' in a value is harmless
      {R"(<tarvoconduit><x v="1/>2"/><y/></tarvoconduit>)", {R"(x v="1)", "y"}},    // "/>" in a value cuts it
  };
  for (const auto& c : cases) {
    CTarvoConduit engine;
    engine.ParseResponse(c.page);
    EXPECT_EQ(std::vector<std::string>(engine.m_commands.begin(), engine.m_commands.end()), c.commands) << c.page;
  }
}

TEST(Envelope, AnswersAppendToTheQueue) {
  CTarvoConduit engine;
  engine.m_commands.push_back("login");
  engine.ParseResponse("<tarvoconduit><a/><b/></tarvoconduit>");
  engine.ParseResponse("<tarvoconduit><c/></tarvoconduit>");
  EXPECT_EQ(std::vector<std::string>(engine.m_commands.begin(), engine.m_commands.end()),
            (std::vector<std::string>{"login", "a", "b", "c"}));
}

}  // namespace
