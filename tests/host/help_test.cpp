// The top-level help, each command's help, the man page and the shell
// completion all follow the host's command table: a command or an option
// added to the table and left out of one of them fails here.
#include <regex>
#include <sstream>

#include "files.h"
#include "host/command_table.h"
#include "host_fixture.h"

namespace tarvo::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The option as a usage spells it, and as a man page does (with "\-").
std::string spelled(const cli::Option& option) {
  return *option.name ? std::string("--") + option.name : std::string("-") + option.letter;
}

std::string manSpelled(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

TEST_F(HostTest, HelpAndManPageCoverEveryCommandAndOption) {
  const ProgramResult top = host({"--help"});
  ASSERT_EQ(top.status, 0);
  const std::string manPage = ReadFile(TARVO_SOURCE_DIR "/setup/files/tarvo-hotsync.1");
  for (const host::Command* command : host::commandTable()) {
    const std::string name = command->name;
    EXPECT_THAT(top.out, HasSubstr("\n  " + name + " ")) << name;
    EXPECT_TRUE(std::regex_search(manPage, std::regex("\n\\.B ([a-z]+ .*, )?" + name + "[ \n]")))
        << name << " is not in the man page";
    const ProgramResult help = host({name, "--help"});
    EXPECT_EQ(help.status, 0) << name;
    for (const cli::Option& option : command->options) {
      EXPECT_THAT(help.out, HasSubstr(spelled(option))) << name << " --help";
      EXPECT_NE(manPage.find(manSpelled(spelled(option))), std::string::npos)
          << spelled(option) << " of " << name << " is not in the man page";
    }
  }
  EXPECT_THAT(host({"help", "log"}).out, HasSubstr("usage: tarvo-hotsync log"));
}

// The table refuses a stray word before a command that takes none runs, so
// no command can forget to (a HotSync, a manager, a window must not start).
TEST_F(HostTest, AStrayWordIsRefusedBeforeTheCommandRuns) {
  for (const host::Command* command : host::commandTable()) {
    if (command->words != host::Words::None) continue;
    const ProgramResult r = host({command->name, "stray"});
    EXPECT_EQ(r.status, 1) << command->name;
    EXPECT_EQ(r.err, std::string("tarvo-hotsync ") + command->name + ": unexpected argument stray (see --help)\n")
        << command->name;
    EXPECT_EQ(r.out, "") << command->name;
  }
}

// The completion offers what the table holds and quotes user names.
TEST_F(HostTest, CompletionOffersCommandsOptionsAndWholeUserNames) {
  const std::string db = writeDatabase(root_ / "a.pdb", "A", {"x"}).string();
  for (const char* user : {"Demo User", "Dennis", "Ana"})
    ASSERT_EQ(host({"install", "--user", user, "--create", db}).status, 0);

  // What bash offers for the words typed; bash-completion's two helpers as
  // the script uses them.
  const auto complete = [&](const std::vector<std::string>& typed) {
    std::ostringstream script;
    script << "_init_completion() { words=(\"${COMP_WORDS[@]}\"); cword=$COMP_CWORD; cur=${words[cword]};"
              " prev=${words[cword-1]}; }\n"
              "_filedir() { COMPREPLY=(FILES); }\n"
              "source '"
           << TARVO_SOURCE_DIR << "/setup/files/tarvo-hotsync.bash-completion'\n"
           << "COMP_WORDS=('" << TARVO_HOST_BIN << "'";
    for (const std::string& word : typed) script << " '" << word << "'";
    script << "); COMP_CWORD=" << typed.size() << "\n"
           << "_tarvo_hotsync '" << TARVO_HOST_BIN << "' \"${COMP_WORDS[COMP_CWORD]}\" 2>/dev/null\n"
           << "for w in \"${COMPREPLY[@]}\"; do printf '%s\\n' \"$w\"; done\n";
    const ProgramResult r = runProgram("/bin/bash", {"-c", script.str()}, hostEnv());
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  };

  EXPECT_EQ(complete({"log", "--user", "De"}), "Demo\\ User\nDennis\n");
  EXPECT_EQ(complete({"log", "--user", "Demo\\ U"}), "Demo\\ User\n");
  EXPECT_EQ(complete({"log", "--user", "\"Demo"}), "Demo User\n");
  EXPECT_EQ(complete({"install", "--handheld"}), "");  // not an option of install

  const std::string commands = complete({""});
  for (const host::Command* command : host::commandTable()) EXPECT_THAT(commands, HasSubstr(command->name));
  EXPECT_THAT(complete({"log", "--"}), HasSubstr("--json\n"));
  const std::string sync = complete({"sync", "--lis"});
  EXPECT_EQ(sync, "--listen\n--listen=\n");
  EXPECT_EQ(complete({"handheld", ""}), "list\ndump\nmake\n");
  EXPECT_EQ(complete({"sync", "--handheld", ""}), "FILES\n");
  EXPECT_THAT(complete({"login", "--"}), Not(HasSubstr("--json")));
}

}  // namespace
}  // namespace tarvo::test
