// tarvo-hotsync log: the desktop HotSync logs and a handheld's own log.
#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/handheld_reader.h"
#include "host/log_entry.h"
#include "host/user_lookup.h"
#include "hotsync/host.h"

namespace tarvo::host {
namespace {

constexpr const char* kLogHelp =
    "Shows the desktop HotSync log of user NAME, or of every user when no\n"
    "--user is given; with --handheld also the log kept on that handheld.\n"
    "Each desktop entry shows its time, its activity code with a word\n"
    "(texto -1, cancelado 8, início 19, fim 20, aviso 21) and its text.\n"
    "\n"
    "  --json  one JSON object per line instead: {\"log\": \"desktop\", \"user\",\n"
    "          \"time\", \"activity\", \"word\", \"text\"} or {\"log\": \"handheld\", \"text\"};\n"
    "          each user's lines are followed by {\"log\": \"handheld\", \"user\",\n"
    "          \"text\"}: what its last HotSync wrote into the handheld's own log\n";

void printJson(const nlohmann::json& object) {
  // Text that is not UTF-8 (a log edited by hand) must not stop the listing.
  std::printf("%s\n", object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

void printDesktopLog(const std::string& user, bool json) {
  if (!json) std::printf("== desktop log of %s\n", user.c_str());
  std::ifstream in(hotsync::userLogFile(user), std::ios::binary);
  if (!in) {
    if (!json) std::puts("  (empty)");
    return;
  }
  for (std::string line; std::getline(in, line);) {
    const std::optional<hotsync::DesktopLogEntry> entry = hotsync::parseDesktopLogLine(line);
    if (json) {
      if (!entry) {
        printJson({{"log", "desktop"}, {"user", user}, {"text", line}});
        continue;
      }
      printJson({{"log", "desktop"},
                 {"user", user},
                 {"time", entry->time},
                 {"activity", entry->activity},
                 {"word", activityWord(entry->activity)},
                 {"text", entry->text}});
    } else if (entry) {
      const std::string word = activityWord(entry->activity);
      std::printf("%s\t%d%s%s\t%s\n", entry->time.c_str(), entry->activity, word.empty() ? "" : " ", word.c_str(),
                  entry->text.c_str());
    } else {
      std::printf("%s\n", line.c_str());
    }
  }
}

constexpr cli::Option kLogOptions[] = {
    {"user", cli::Value, "NAME"},
    {"handheld", cli::Value, "DIR"},
    {"json"},
};

int runLog(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  const bool json = args.has("json");

  std::vector<std::string> users;
  if (args.hasValue("user")) {
    if (!isHotSyncUser(args.value("user"))) return fail("no HotSync user " + args.value("user"));
    users.push_back(args.value("user"));
  } else {
    users = hotsync::users();
  }
  // Connect first so that a bad folder fails before anything is printed.
  ConnectedHandheld handheld;
  if (args.hasValue("handheld") && !handheld.connect(args.value("handheld"), &error)) return fail(error);

  for (const std::string& user : users) {
    printDesktopLog(user, json);
    // What its last HotSync wrote into the handheld's own log, beside it.
    if (json) {
      for (const std::string& text : hotsync::keptHandheldLog(user))
        printJson({{"log", "handheld"}, {"user", user}, {"text", text}});
    }
  }
  if (args.hasValue("handheld")) {
    if (!json) std::printf("== handheld log of %s\n", args.value("handheld").c_str());
    for (const std::string& line : hotsync::handheldLog()) {  // already UTF-8 on disk
      if (json)
        printJson({{"log", "handheld"}, {"text", line}});
      else
        std::printf("%s\n", line.c_str());
    }
  }
  return kExitOk;
}

}  // namespace

const Command kLogCommand = {
    "log",
    "[--user NAME] [--handheld DIR] [--json]",
    "the desktop HotSync log(s) and a handheld's log",
    kLogHelp,
    "",
    kLogOptions,
    Words::None,
    runLog,
};

}  // namespace tarvo::host
