// What the content service writes, read by the conduit's own attribute
// reader: database names ending in '=' must not hide the attributes after
// them.
#include <gtest/gtest.h>

#include <deque>

#include "catalogue_commands.h"
#include "engine/envelope.h"
#include "engine/tarvo_conduit.h"

namespace tarvo::server {
namespace {

std::string only_command(const std::string& element) {
  std::deque<std::string> commands;
  tarvo::engine::ReadEnvelopeCommands(commands::envelope({element}), commands);
  return commands.size() == 1 ? commands.front() : std::string("(" + std::to_string(commands.size()) + " commands)");
}

TEST(AttributeRoundTrip, NamesEndingInEqualsReadBackWithTheirIds) {
  for (const std::string db : {"Paid=", "Mydata=", "cardno=", "X=\xE9=", "Notas"}) {
    const std::string put = only_command(commands::rput(db, 1, 77, "r"));
    EXPECT_EQ(CTarvoConduit::GetAttribute(put, "db", "?"), db) << put;
    EXPECT_EQ(CTarvoConduit::GetAttribute(put, "cardno", "?"), "1") << put;
    EXPECT_EQ(CTarvoConduit::GetAttribute(put, "id", "?"), "77") << put;
    EXPECT_EQ(CTarvoConduit::GetAttribute(put, "data", "?"), "r") << put;
    const std::string del = only_command(commands::rdel(db, 0, 5));
    EXPECT_EQ(CTarvoConduit::GetAttribute(del, "db", "?"), db) << del;
    EXPECT_EQ(CTarvoConduit::GetAttribute(del, "id", "?"), "5") << del;
  }
  // Names that read back in the usual order keep it.
  EXPECT_EQ(commands::rdel("Notas", 0, 4), "<rdel db=\"Notas\" cardno=\"0\" id=\"4\"/>");
}

}  // namespace
}  // namespace tarvo::server
