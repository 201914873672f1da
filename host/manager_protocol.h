// The typed, versioned messages on the HotSync manager's socket: one JSON
// object per line, fields found by name (docs/manager-protocol.md).
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarvo::host {

inline constexpr int kManagerProtocol = 1;

// Where a process keeps the HotSync users, the settings and the temporary
// files. The manager takes a HotSync only from a caller that uses its own:
// one run with other XDG folders (a test, a second profile) runs alone.
struct ManagerFolders {
  std::string data, config, cache, home;
  bool operator==(const ManagerFolders&) const = default;
};
ManagerFolders ownFolders();

struct ManagerRequest {
  std::string request;  // state, events, reload, quit, sync, session, cancel
  std::string id;       // echoed in the reply; may be empty
  int hotsync = 0;      // cancel only: the HotSync meant; 0: the one running
  // sync only
  ManagerFolders folders;
  std::string cwd;
  std::vector<std::string> args;
  std::map<std::string, std::string> environment;  // sync and session: only the session's variables
  bool environmentGiven = false;                   // a sync from a caller that sent none runs in the manager's session
};

// Reads one request line. False with *error set to the error reply to send.
bool parseManagerRequest(const std::string& line, ManagerRequest* request, nlohmann::json* error);

// {"v":1,"reply":KIND}, with the request's id when it had one.
nlohmann::json managerReply(const std::string& kind, const std::string& id = {});
nlohmann::json managerError(const std::string& code, const std::string& message);

// A sync request of this process: its folders, working folder, arguments
// and the variables of its desktop session.
nlohmann::json syncRequest(const std::string& cwd, const std::vector<std::string>& args);

// A session request of this process: the variables of its desktop session,
// for the HotSyncs that handhelds start.
nlohmann::json sessionRequest();

// "2026-12-08T18:02:11Z".
std::string protocolTime(std::chrono::system_clock::time_point when);

// A HotSync's exit status as a word (ok, cancelled, ...) and as words for a person.
const char* resultWord(int status);
std::string resultWords(int status);

}  // namespace tarvo::host
