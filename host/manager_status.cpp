#include "host/manager_status.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "host/manager_protocol.h"

namespace tarvo::host {
namespace {

using nlohmann::json;

// A subscriber that lets this much pile up is closed, never waited for.
constexpr size_t kMaxUnsent = 1024 * 1024;

std::string now() { return protocolTime(std::chrono::system_clock::now()); }

// The steps a HotSync may report, and the fields each keeps.
const std::vector<std::pair<std::string, std::vector<std::string>>>& reportedSteps() {
  static const std::vector<std::pair<std::string, std::vector<std::string>>> steps = {
      {"user", {"user"}},
      {"conduit-started", {"conduit"}},
      {"conduit-ended", {"conduit", "status", "words"}},
      {"progress", {"percent", "words"}},
      {"installing", {"files"}},
      {"install", {"file", "database", "ok", "words"}},
      {"backing-up", {"database"}},
      {"backup", {"copied", "unchanged", "failed", "words"}},
  };
  return steps;
}

}  // namespace

ManagerStatus::ManagerStatus()
    : manager_({{"pid", ::getpid()}, {"started", now()}, {"quitting", false}}),
      ports_(json::array()),
      queue_(json::array()),
      hotsync_(nullptr),
      last_(nullptr) {}

ManagerStatus::~ManagerStatus() {
  for (Subscriber& s : subscribers_) ::close(s.fd);
}

json ManagerStatus::state() const {
  return {{"manager", manager_}, {"ports", ports_}, {"hotsync", hotsync_}, {"queue", queue_}, {"last", last_}};
}

void ManagerStatus::portChanged(const json& port) {
  json entry = port;
  const auto same =
      std::find_if(ports_.begin(), ports_.end(), [&](const json& p) { return p["port"] == port["port"]; });
  const bool changed = same == ports_.end() || (*same)["condition"] != port["condition"] ||
                       same->value("reason", "") != port.value("reason", "") ||
                       same->value("hotsync", 0) != port.value("hotsync", 0);
  if (!changed) return;
  entry["since"] = now();
  if (same == ports_.end())
    ports_.push_back(entry);
  else
    *same = entry;
  emit("port", {{"port", entry}});
}

void ManagerStatus::portRemoved(const std::string& name) {
  const auto same = std::find_if(ports_.begin(), ports_.end(), [&](const json& p) { return p["port"] == name; });
  if (same == ports_.end()) return;
  json entry = *same;
  ports_.erase(same);
  entry["condition"] = "removed";
  entry["since"] = now();
  entry.erase("reason");
  entry.erase("remedy");
  emit("port", {{"port", entry}});
}

int ManagerStatus::queued(const std::string& origin, const std::string& port, const std::string& link) {
  const int id = nextId_++;
  json hotsync = {{"id", id}, {"origin", origin}, {"port", port}, {"link", link}, {"queued", now()}};
  queue_.push_back(hotsync);
  emit("queued", {{"hotsync", hotsync}});
  return id;
}

void ManagerStatus::dropped(int id, const std::string& reason) {
  const auto it = std::find_if(queue_.begin(), queue_.end(), [&](const json& h) { return h["id"] == id; });
  if (it != queue_.end())
    queue_.erase(it);
  else if (!hotsync_.is_null() && hotsync_["id"] == id)
    hotsync_ = nullptr;
  else
    return;
  emit("dropped", {{"hotsync", id}, {"reason", reason}});
}

void ManagerStatus::started(int id, pid_t pid) {
  const auto it = std::find_if(queue_.begin(), queue_.end(), [&](const json& h) { return h["id"] == id; });
  if (it == queue_.end()) return;
  hotsync_ = *it;
  queue_.erase(it);
  hotsync_["started"] = now();
  hotsync_["pid"] = pid;
  hotsync_["percent"] = 0;
  emit("started", {{"hotsync", hotsync_}});
}

void ManagerStatus::reported(const std::string& line) {
  if (hotsync_.is_null()) return;
  const json step = json::parse(line, nullptr, false);
  if (!step.is_object() || !step.contains("event") || !step["event"].is_string()) return;
  const std::string type = step["event"].get<std::string>();
  const auto& steps = reportedSteps();
  const auto known = std::find_if(steps.begin(), steps.end(), [&](const auto& s) { return s.first == type; });
  if (known == steps.end()) return;
  json fields = {{"hotsync", hotsync_["id"]}};
  for (const std::string& name : known->second) {
    if (step.contains(name)) fields[name] = step[name];
  }
  if (type == "user" && fields["user"].is_string()) {
    hotsync_["user"] = fields["user"];
  } else if (type == "conduit-started" && fields["conduit"].is_object()) {
    hotsync_["conduit"] = fields["conduit"];
  } else if (type == "conduit-ended") {
    hotsync_.erase("conduit");
  } else if (type == "progress") {
    if (!fields["percent"].is_number_integer()) return;
    // The bar of one HotSync never goes back, whichever conduit moves it.
    const int percent = std::clamp(fields["percent"].get<int>(), 0, 100);
    fields["percent"] = std::max(percent, hotsync_.value("percent", 0));
    const bool same =
        fields["percent"] == hotsync_["percent"] && fields.value("words", "") == hotsync_.value("words", "");
    if (same) return;
    hotsync_["percent"] = fields["percent"];
    if (fields.contains("words")) hotsync_["words"] = fields["words"];
  }
  emit(type, std::move(fields));
}

void ManagerStatus::ended(int status) {
  if (hotsync_.is_null()) return;
  json last = hotsync_;
  hotsync_ = nullptr;
  for (const char* running : {"pid", "conduit", "percent", "words"}) last.erase(running);
  last["ended"] = now();
  last["status"] = status;
  last["result"] = resultWord(status);
  last["words"] = resultWords(status);
  last_ = last;
  emit("ended", {{"hotsync", last}});
}

void ManagerStatus::reloaded(bool ok, const std::string& message) {
  json fields = {{"ok", ok}};
  if (!ok) fields["message"] = message;
  emit("reloaded", std::move(fields));
}

void ManagerStatus::quitting() {
  if (manager_["quitting"] == true) return;
  manager_["quitting"] = true;
  emit("quitting", json::object());
}

void ManagerStatus::emit(const std::string& type, json fields) {
  json event = {{"v", kManagerProtocol}, {"event", type}, {"seq", ++seq_}, {"time", now()}};
  event.update(fields);
  const std::string line = event.dump(-1, ' ', false, json::error_handler_t::replace);
  for (size_t i = subscribers_.size(); i-- > 0;) {
    send(subscribers_[i], line);
    if (subscribers_[i].unsent.size() > kMaxUnsent) drop(i);
  }
}

void ManagerStatus::subscribe(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  subscribers_.push_back({fd, {}});
  json first = {{"v", kManagerProtocol}, {"event", "state"}, {"seq", seq_}, {"time", now()}, {"state", state()}};
  send(subscribers_.back(), first.dump(-1, ' ', false, json::error_handler_t::replace));
}

void ManagerStatus::send(Subscriber& subscriber, const std::string& line) {
  subscriber.unsent += line;
  subscriber.unsent += '\n';
  flush(subscriber);
}

void ManagerStatus::flush(Subscriber& subscriber) {
  while (!subscriber.unsent.empty()) {
    const ssize_t n = ::send(subscriber.fd, subscriber.unsent.data(), subscriber.unsent.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // full (the rest waits for POLLOUT) or gone (its poll says so)
    subscriber.unsent.erase(0, static_cast<size_t>(n));
  }
}

void ManagerStatus::drop(size_t index) {
  ::close(subscribers_[index].fd);
  subscribers_.erase(subscribers_.begin() + static_cast<long>(index));
}

void ManagerStatus::addPollFds(std::vector<pollfd>* polled) const {
  for (const Subscriber& s : subscribers_) {
    polled->push_back({s.fd, static_cast<short>(POLLIN | POLLRDHUP | (s.unsent.empty() ? 0 : POLLOUT)), 0});
  }
}

void ManagerStatus::handlePolled(const std::vector<pollfd>& polled) {
  for (size_t i = subscribers_.size(); i-- > 0;) {
    const auto it =
        std::find_if(polled.begin(), polled.end(), [&](const pollfd& p) { return p.fd == subscribers_[i].fd; });
    if (it == polled.end() || it->revents == 0) continue;
    bool gone = (it->revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP)) != 0;
    if ((it->revents & POLLIN) != 0) {
      // What a subscriber writes is ignored; its end closes it.
      char sink[256];
      const ssize_t n = ::recv(subscribers_[i].fd, sink, sizeof sink, MSG_DONTWAIT);
      gone = gone || n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
    }
    if (!gone && (it->revents & POLLOUT) != 0) flush(subscribers_[i]);
    if (gone) drop(i);
  }
}

}  // namespace tarvo::host
