#include "host/manager_protocol.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "host/commands.h"
#include "host/session_environment.h"
#include "hotsync/host.h"

extern char** environ;

namespace tarvo::host {
namespace {

using nlohmann::json;

const char* const kRequests[] = {"state", "events", "reload", "quit", "sync", "session", "cancel"};

std::string envOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool stringField(const json& object, const char* name, std::string* out) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_string()) return false;
  *out = found->get<std::string>();
  return true;
}

// An optional "environment" object of strings; only the session's variables are kept.
bool readEnvironment(const json& message, ManagerRequest* request) {
  const auto env = message.find("environment");
  if (env == message.end()) return true;
  if (!env->is_object()) return false;
  for (const auto& [name, value] : env->items()) {
    if (!value.is_string()) return false;
    // Only what makes the HotSync appear in the caller's session; an empty
    // value counts as unset.
    if (isSessionVariable(name) && !value.get<std::string>().empty())
      request->environment[name] = value.get<std::string>();
  }
  request->environmentGiven = true;
  return true;
}

bool readSync(const json& message, ManagerRequest* request) {
  const auto folders = message.find("folders");
  const auto args = message.find("args");
  if (folders == message.end() || !folders->is_object() || args == message.end() || !args->is_array()) return false;
  ManagerFolders& f = request->folders;
  if (!stringField(*folders, "data", &f.data) || !stringField(*folders, "config", &f.config) ||
      !stringField(*folders, "cache", &f.cache) || !stringField(*folders, "home", &f.home) ||
      !stringField(message, "cwd", &request->cwd))
    return false;
  for (const json& arg : *args) {
    if (!arg.is_string()) return false;
    request->args.push_back(arg.get<std::string>());
  }
  return readEnvironment(message, request);
}

}  // namespace

ManagerFolders ownFolders() {
  return {hotsync::dataDir().string(), envOrEmpty("XDG_CONFIG_HOME"), envOrEmpty("XDG_CACHE_HOME"), envOrEmpty("HOME")};
}

json managerReply(const std::string& kind, const std::string& id) {
  json reply = {{"v", kManagerProtocol}, {"reply", kind}};
  if (!id.empty()) reply["id"] = id;
  return reply;
}

json managerError(const std::string& code, const std::string& message) {
  json reply = managerReply("error");
  reply["error"] = code;
  reply["message"] = message;
  return reply;
}

bool parseManagerRequest(const std::string& line, ManagerRequest* request, json* error) {
  *request = {};
  const json message = json::parse(line, nullptr, false);
  if (message.is_discarded() || !message.is_object()) {
    *error = managerError("bad-request", "a request is one JSON object on one line");
    return false;
  }
  const auto version = message.find("v");
  if (version == message.end() || !version->is_number_integer() ||
      !stringField(message, "request", &request->request)) {
    *error = managerError("bad-request", "a request needs \"v\" (an integer) and \"request\" (a text)");
    return false;
  }
  if (version->get<long long>() != kManagerProtocol) {
    *error = managerError("unsupported-version", "this manager speaks protocol version 1");
    (*error)["versions"] = {kManagerProtocol};
    return false;
  }
  stringField(message, "id", &request->id);
  if (std::find(std::begin(kRequests), std::end(kRequests), request->request) == std::end(kRequests)) {
    *error = managerError("unknown-request", "no request \"" + request->request + "\"");
    return false;
  }
  if (request->request == "sync" && !readSync(message, request)) {
    *error = managerError("bad-request", "sync needs folders, cwd and args");
    return false;
  }
  if (request->request == "session" && (!message.contains("environment") || !readEnvironment(message, request))) {
    *error = managerError("bad-request", "session needs environment, an object of texts");
    return false;
  }
  if (const auto id = message.find("hotsync"); request->request == "cancel" && id != message.end()) {
    if (!id->is_number_integer() || id->get<long long>() < 1 || id->get<long long>() > INT32_MAX) {
      *error = managerError("bad-request", "cancel's \"hotsync\" is a HotSync's id");
      return false;
    }
    request->hotsync = static_cast<int>(id->get<long long>());
  }
  return true;
}

json syncRequest(const std::string& cwd, const std::vector<std::string>& args) {
  const ManagerFolders folders = ownFolders();
  json request = {{"v", kManagerProtocol}, {"request", "sync"}, {"cwd", cwd}, {"args", args}};
  request["folders"] = {
      {"data", folders.data}, {"config", folders.config}, {"cache", folders.cache}, {"home", folders.home}};
  request["environment"] = sessionOf(environ);
  return request;
}

json sessionRequest() {
  json request = {{"v", kManagerProtocol}, {"request", "session"}};
  request["environment"] = sessionOf(environ);
  return request;
}

std::string protocolTime(std::chrono::system_clock::time_point when) {
  const time_t seconds = std::chrono::system_clock::to_time_t(when);
  tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%FT%TZ", &utc);
  return text;
}

const char* resultWord(int status) {
  switch (status) {
    case kExitOk:
      return "ok";
    case kExitConduitFailed:
      return "conduit-failed";
    case kExitServersFailed:
      return "partial";
    case kExitCancelled:
      return "cancelled";
    case kExitOffline:
      return "offline";
    case kExitNoConduit:
      return "no-conduit";
    case kExitHandheldLost:
      return "link-lost";
    case kExitNoHandheld:
      return "no-handheld";
    default:
      return "failed";
  }
}

std::string resultWords(int status) {
  switch (status) {
    case kExitOk:
      return "HotSync completed";
    case kExitConduitFailed:
      return "HotSync failed: a conduit returned an unknown result";
    case kExitServersFailed:
      return "HotSync completed with failures: some servers, conduits or backups could not be done";
    case kExitCancelled:
      return "HotSync cancelled";
    case kExitOffline:
      return "HotSync not run: offline, no server contacted";
    case kExitNoConduit:
      return "HotSync failed: no conduit could be loaded";
    case kExitHandheldLost:
      return "HotSync stopped: the handheld went away";
    case kExitNoHandheld:
      return "HotSync not run: no handheld came";
    default:
      return "HotSync failed (status " + std::to_string(status) + ")";
  }
}

}  // namespace tarvo::host
