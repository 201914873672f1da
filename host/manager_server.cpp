#include "host/manager_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "host/hotsync_child.h"
#include "host/manager_protocol.h"
#include "host/manager_socket.h"
#include "host/manager_status.h"
#include "host/quit_signals.h"
#include "host/session_environment.h"
#include "host/watched_port.h"
#include "hotsync/manager.h"
#include "setup/sync_host.h"

namespace tarvo::host {
namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr long kMaxWaitingHandhelds = 8;
// A quit must end the manager before the closing side stops asking (20
// requests 500 ms apart): a HotSync that has not ended a while after its
// Cancel gets the second signal, which ends it at once, and then SIGKILL.
constexpr auto kSecondSignalAfter = std::chrono::seconds(3);
constexpr auto kKillAfter = std::chrono::seconds(6);
// A port that cannot be opened is tried again this often.
constexpr int kRetryMs = 3000;

std::string timeNow() {
  char text[32];
  const time_t now = ::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  std::strftime(text, sizeof text, "%F %T", &local);
  return text;
}

template <class... Args>
void say(const char* format, Args... args) {
  std::fprintf(stderr, "%s ", timeNow().c_str());
  std::fprintf(stderr, format, args...);
  std::fputc('\n', stderr);
}

std::string home() {
  const char* home = std::getenv("HOME");
  return home != nullptr && *home != '\0' ? home : "/";
}

// A HotSync in the queue or running.
struct Job {
  int id = 0;
  int client = -1;         // a caller's connection; -1: a handheld called
  std::vector<int> stdio;  // the caller's standard input, output and error
  PortCall call;           // a handheld's: its port options and link
  std::string port;        // the watched port it came on; empty for a caller
  ManagerRequest request;  // a caller's
  bool waiting = false;    // a caller's HotSync on a watched port: waits for its handheld to call there
};

void closeJob(Job& job) {
  for (int fd : job.stdio) ::close(fd);
  if (job.call.linkFd >= 0) ::close(job.call.linkFd);
  if (job.client >= 0) ::close(job.client);
  job = Job{};
}

void replyTo(const Job& job, json reply) {
  if (job.client >= 0) sendLine(job.client, reply.dump(-1, ' ', false, json::error_handler_t::replace));
}

// The port a caller's own arguments name, as the manager names its ports.
std::string portOfArgs(const std::vector<std::string>& args) {
  std::string named;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) named = args[i + 1];
    if (args[i].starts_with("--port=")) named = args[i].substr(7);
    if (args[i] == "--listen") named = "net:";
    if (args[i].starts_with("--listen=")) named = "net:" + args[i].substr(9);
  }
  return named.empty() ? named : canonicalPort(named);
}

// The arguments without the port they name: the manager hands the HotSync
// the handheld that called there.
std::vector<std::string> withoutPort(const std::vector<std::string>& args) {
  std::vector<std::string> kept;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" || args[i] == "--rate" || args[i] == "--wait") {
      ++i;
      continue;
    }
    if (args[i] == "--listen" || args[i].starts_with("--listen=") || args[i].starts_with("--port=") ||
        args[i].starts_with("--rate=") || args[i].starts_with("--wait="))
      continue;
    kept.push_back(args[i]);
  }
  return kept;
}

std::string linkOfPort(const std::string& port) {
  if (port == "usb:") return "usb";
  if (port.starts_with('/')) return "serial";
  if (port.starts_with("net:")) return "network";
  return "";
}

}  // namespace

struct ManagerServer::Impl {
  std::filesystem::path dir;
  ConfigReader readConfig;
  ManagerConfig config;
  ManagerSocket socket;
  ManagerStatus status;
  std::vector<std::unique_ptr<WatchedPort>> ports;
  std::vector<std::string> unavailableSaid;  // the reason last logged for each port
  Clock::time_point nextRetry{};
  // The user's desktop session for the HotSyncs handhelds start: the last
  // one a client in the session handed over, else systemd's when systemd
  // runs the manager, else the manager's own environment.
  SessionEnvironment handedSession;
  bool byUnit = setup::runByUserUnit(::getpid());

  std::deque<Job> pending;
  Job current;
  RunningHotSync child;
  std::string reportText;  // a part line of the child's report
  bool cancelSent = false;
  bool quitting = false;
  Clock::time_point quitAt;
  int escalated = 0;  // after the Cancel: 1 second signal sent, 2 killed

  Impl(std::filesystem::path d, ConfigReader reader) : dir(std::move(d)), readConfig(std::move(reader)), socket(dir) {}

  bool running() const { return child.pid > 0; }

  // ---- ports ----

  void watchPorts(const std::vector<std::string>& names) {
    // Ports no longer named stop being watched at once; a HotSync that came
    // on one goes on (it opens its port itself).
    for (size_t i = ports.size(); i-- > 0;) {
      if (std::find(names.begin(), names.end(), ports[i]->name()) != names.end()) continue;
      say("no longer watching %s", ports[i]->name().c_str());
      status.portRemoved(ports[i]->name());
      ports.erase(ports.begin() + static_cast<long>(i));
      unavailableSaid.erase(unavailableSaid.begin() + static_cast<long>(i));
    }
    for (const std::string& name : names) {
      std::string error;
      std::unique_ptr<WatchedPort> port = WatchedPort::make(name, &error);
      if (!port) {
        say("%s", error.c_str());
        continue;
      }
      const bool known =
          std::any_of(ports.begin(), ports.end(), [&](const auto& p) { return p->name() == port->name(); });
      if (known) continue;
      ports.push_back(std::move(port));
      unavailableSaid.emplace_back();
    }
    nextRetry = Clock::now();
    openPorts();
  }

  void openPorts() {
    if (Clock::now() < nextRetry) return;
    nextRetry = Clock::now() + std::chrono::milliseconds(kRetryMs);
    for (size_t i = 0; i < ports.size(); ++i) {
      WatchedPort& port = *ports[i];
      if (port.isOpen()) continue;
      if (port.open()) {
        unavailableSaid[i].clear();
        say("%s", port.watchingLine().c_str());
      } else if (unavailableSaid[i] != port.reason()) {
        // Said once per reason; the port is looked at again every few seconds.
        unavailableSaid[i] = port.reason();
        say("%s cannot be used: %s%s; trying again every few seconds", port.name().c_str(), port.reason().c_str(),
            port.remedy().empty() ? "" : ("; " + port.remedy()).c_str());
      }
    }
  }

  int hotSyncOn(const std::string& name) const {
    if (running() && current.port == name) return current.id;
    for (const Job& job : pending) {
      if (job.port == name && !job.waiting) return job.id;
    }
    return 0;
  }

  void publishPorts() {
    for (const auto& port : ports) {
      json entry = {{"port", port->name()}, {"link", port->link()}};
      const int busy = hotSyncOn(port->name());
      if (!port->isOpen()) {
        entry["condition"] = "unavailable";
        entry["reason"] = port->reason();
        if (!port->remedy().empty()) entry["remedy"] = port->remedy();
      } else if (busy != 0) {
        entry["condition"] = "busy";
        entry["hotsync"] = busy;
      } else {
        entry["condition"] = "waiting";
      }
      status.portChanged(entry);
    }
  }

  // ---- the queue ----

  void enqueue(Job job, const char* origin, const std::string& link) {
    const std::string portName = job.port.empty() ? portOfArgs(job.request.args) : job.port;
    job.id = status.queued(origin, portName, link.empty() ? linkOfPort(portName) : link);
    pending.push_back(std::move(job));
  }

  void drop(Job& job, const std::string& reason) {
    status.dropped(job.id, reason);
    closeJob(job);
  }

  void startNext() {
    for (;;) {
      // A HotSync that waits for its handheld lets the others go first.
      const auto next = std::find_if(pending.begin(), pending.end(), [](const Job& j) { return !j.waiting; });
      if (running() || next == pending.end() || quitting) break;
      current = std::move(*next);
      pending.erase(next);
      HotSyncLaunch launch;
      launch.handheldWait = config.handheldWait;
      if (current.client >= 0) {
        launch.args = current.request.args;
        launch.cwd = current.request.cwd;
        launch.stdio = current.stdio;
        if (current.request.environmentGiven) launch.session = current.request.environment;
        // Its handheld called on the manager's port: that call is handed on.
        if (!current.call.options.empty()) {
          launch.options = current.call.options;
          launch.linkFd = current.call.linkFd;
          launch.args = withoutPort(launch.args);
        }
      } else {
        // Nobody called from a folder; the HotSync runs in the user's home.
        launch.options = current.call.options;
        launch.cwd = home();
        launch.session = sessionForHandheld();
        launch.linkFd = current.call.linkFd;
      }
      // A cradle's speed from manager.conf caps its line.
      if (const auto rate = config.rates.find(current.port);
          rate != config.rates.end() && !current.call.options.empty())
        launch.options.insert(launch.options.end(), {"--rate", std::to_string(rate->second)});
      std::string error;
      if (!startHotSync(launch, &child, &error)) {
        say("cannot start a HotSync: %s", error.c_str());
        replyTo(current, managerReply("declined"));
        endedOnPort(current.port);
        drop(current, "not-started");
        continue;
      }
      say("HotSync %d started in %s", child.pid, launch.cwd.c_str());
      status.started(current.id, child.pid);
      replyTo(current, {{"v", kManagerProtocol}, {"reply", "started"}, {"hotsync", current.id}});
      cancelSent = false;
      escalated = 0;
      reportText.clear();
    }
  }

  std::optional<SessionEnvironment> sessionForHandheld() const {
    if (!handedSession.empty()) return handedSession;
    // Asked at each HotSync: the desktop imports its session at each log-in.
    if (byUnit) {
      if (SessionEnvironment session = systemdSession(); hasDisplay(session)) return session;
    }
    return std::nullopt;
  }

  void takeSession(int client, const ManagerRequest& request) {
    json reply = managerReply("session", request.id);
    // A caller without a display (ssh, a console) has no session to give
    // and must not take away the desktop's.
    if (!hasDisplay(request.environment)) {
      reply["ok"] = false;
      reply["error"] = "no-display";
      reply["message"] = "no DISPLAY or WAYLAND_DISPLAY: not a desktop session";
    } else {
      if (request.environment != handedSession) {
        std::string shown;
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
          if (const auto found = request.environment.find(name); found != request.environment.end())
            shown += std::string(shown.empty() ? "" : ", ") + name + "=" + found->second;
        }
        say("HotSyncs from handhelds now run in the desktop session of %s", shown.c_str());
      }
      handedSession = request.environment;
      reply["ok"] = true;
      json names = json::array();
      for (const auto& [name, value] : handedSession) names.push_back(name);
      reply["variables"] = std::move(names);
    }
    sendLine(client, reply.dump());
    ::close(client);
  }

  void endedOnPort(const std::string& name) {
    for (const auto& port : ports) {
      if (port->name() == name) port->hotSyncEnded();
    }
  }

  void readReport() {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(child.reportFd, buffer, sizeof buffer);
      if (n <= 0) break;
      reportText.append(buffer, static_cast<size_t>(n));
    }
    for (size_t end; (end = reportText.find('\n')) != std::string::npos;) {
      status.reported(reportText.substr(0, end));
      reportText.erase(0, end + 1);
    }
    // A HotSync that writes no line end is not believed for ever.
    if (reportText.size() > 64 * 1024) reportText.clear();
  }

  void childEnded(int waitStatus) {
    const int code = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
    readReport();
    endedOnPort(current.port);
    say("HotSync %d ended with status %d", child.pid, code);
    status.ended(code);
    replyTo(current, {{"v", kManagerProtocol},
                      {"reply", "ended"},
                      {"hotsync", current.id},
                      {"status", code},
                      {"result", resultWord(code)},
                      {"words", resultWords(code)}});
    closeJob(current);
    for (int fd : {child.pidFd, child.reportFd}) {
      if (fd >= 0) ::close(fd);
    }
    child = RunningHotSync{};
  }

  // ---- quitting ----

  void beginQuit() {
    if (!quitting) quitAt = Clock::now();
    quitting = true;
    status.quitting();
    for (Job& job : pending) {
      // A caller runs it alone; a waiting handheld sees the link close.
      replyTo(job, managerReply("declined"));
      endedOnPort(job.port);
      drop(job, "quitting");
    }
    pending.clear();
    // A HotSync in progress is cancelled as its Cancel button would, and
    // the manager waits for it to end cleanly.
    if (running() && !cancelSent) {
      ::kill(child.pid, SIGINT);
      cancelSent = true;
    }
  }

  // A HotSync that does not end after the quit's Cancel is ended for good.
  void escalate() {
    const auto waited = Clock::now() - quitAt;
    if (escalated < 1 && waited >= kSecondSignalAfter) {
      say("HotSync %d did not end after its Cancel: ending it", child.pid);
      ::kill(child.pid, SIGINT);
      escalated = 1;
    } else if (escalated < 2 && waited >= kKillAfter) {
      say("HotSync %d still runs: killing it", child.pid);
      ::kill(child.pid, SIGKILL);
      escalated = 2;
    }
  }

  // ---- requests ----

  void reload(int client, const std::string& id) {
    ManagerConfig fresh;
    std::string error;
    json reply = managerReply("reload", id);
    if (!readConfig(&fresh, &error)) {
      say("reload refused: %s", error.c_str());
      status.reloaded(false, error);
      reply["ok"] = false;
      reply["error"] = "bad-config";
      reply["message"] = error;
    } else {
      say("configuration reloaded");
      config = fresh;
      status.reloaded(true, "");
      watchPorts(config.ports);
      publishPorts();
      reply["ok"] = true;
      reply["ports"] = status.state()["ports"];
    }
    sendLine(client, reply.dump());
    ::close(client);
  }

  // A Cancel pressed in a window: the running HotSync is cancelled as Ctrl-C
  // cancels `sync` (the handheld hears a cancelled end); a queued one never
  // starts. An id that names neither cancels nothing, so a late press never
  // reaches the HotSync after the one it meant.
  json cancel(const ManagerRequest& request) {
    json reply = managerReply("cancel", request.id);
    const int id = request.hotsync;
    if (running() && (id == 0 || id == current.id)) {
      if (!cancelSent) {
        say("HotSync %d cancelled on request", child.pid);
        ::kill(child.pid, SIGINT);
        cancelSent = true;
      }
      reply["ok"] = true;
      reply["hotsync"] = current.id;
      return reply;
    }
    const auto queued = std::find_if(pending.begin(), pending.end(), [&](const Job& j) { return j.id == id; });
    if (id != 0 && queued != pending.end()) {
      say("a queued HotSync was cancelled on request before its turn");
      replyTo(*queued, {{"v", kManagerProtocol}, {"reply", "cancelled"}, {"hotsync", id}});
      endedOnPort(queued->port);
      drop(*queued, "cancelled");
      pending.erase(queued);
      reply["ok"] = true;
      reply["hotsync"] = id;
      return reply;
    }
    reply["ok"] = false;
    reply["error"] = "no-hotsync";
    reply["message"] = id == 0 ? "no HotSync runs" : "HotSync " + std::to_string(id) + " is neither running nor queued";
    return reply;
  }

  void accept() {
    std::string line;
    std::vector<int> fds;
    const int client = socket.accept(&line, &fds);
    if (client < 0) return;
    ManagerRequest request;
    json error;
    auto refuse = [&](const json& reply) {
      sendLine(client, reply.dump());
      for (int fd : fds) ::close(fd);
      ::close(client);
    };
    if (!parseManagerRequest(line, &request, &error)) return refuse(error);
    if (request.request != "sync" && !fds.empty())
      return refuse(managerError("bad-request", "only sync carries descriptors"));
    if (request.request == "quit") {
      refuse(managerReply("quit", request.id));
      if (!quitting) say("quit requested");
      beginQuit();
    } else if (request.request == "state") {
      json reply = managerReply("state", request.id);
      reply["state"] = status.state();
      refuse(reply);
    } else if (request.request == "events") {
      status.subscribe(client);
    } else if (request.request == "reload") {
      reload(client, request.id);
    } else if (request.request == "session") {
      takeSession(client, request);
    } else if (request.request == "cancel") {
      refuse(cancel(request));
    } else if (fds.size() != 3) {
      refuse(managerError("bad-request", "sync needs the caller's standard input, output and error"));
    } else if (request.folders != ownFolders() || quitting) {
      json reply = managerReply("declined", request.id);
      reply["reason"] = quitting ? "the HotSync manager is quitting" : "the caller uses other data folders";
      refuse(reply);
    } else {
      Job job;
      job.client = client;
      job.stdio = std::move(fds);
      job.request = std::move(request);
      // One port, one owner: a HotSync on a port the manager watches takes
      // the next handheld that calls there, rather than opening it twice.
      const std::string named = portOfArgs(job.request.args);
      const auto watched = std::find_if(ports.begin(), ports.end(), [&](const auto& p) { return p->name() == named; });
      if (watched != ports.end() && (*watched)->isOpen()) {
        job.port = named;
        job.waiting = true;
        enqueue(std::move(job), "command", "");
        replyTo(pending.back(),
                {{"v", kManagerProtocol}, {"reply", "waiting"}, {"hotsync", pending.back().id}, {"port", named}});
        say("a HotSync waits for a handheld on %s", named.c_str());
        return;
      }
      const long ahead = static_cast<long>(pending.size()) + (running() ? 1 : 0);
      enqueue(std::move(job), "command", "");
      // The caller says so, rather than waiting without a word.
      if (ahead > 0) {
        replyTo(pending.back(),
                {{"v", kManagerProtocol}, {"reply", "queued"}, {"hotsync", pending.back().id}, {"ahead", ahead}});
        say("HotSync queued behind another");
      }
    }
  }

  void portCalled(WatchedPort& port, short revents) {
    for (PortCall& call : port.called(revents)) {
      // Connections cost nothing to open, so a flood must not use up the
      // manager's descriptors: past a few waiting handhelds one is turned away.
      const auto waiting = std::count_if(pending.begin(), pending.end(), [](const Job& j) { return j.client < 0; });
      if (quitting || waiting >= kMaxWaitingHandhelds) {
        if (call.linkFd >= 0) ::close(call.linkFd);
        if (port.link() == std::string("serial")) port.hotSyncEnded();
        continue;
      }
      const std::string link = port.link();
      const auto waiter = std::find_if(pending.begin(), pending.end(),
                                       [&](const Job& j) { return j.waiting && j.port == port.name(); });
      if (waiter != pending.end()) {
        // The caller who waits here gets this handheld's HotSync.
        waiter->call = std::move(call);
        waiter->waiting = false;
        say("%s HotSync of a caller who waited on %s", link.c_str(), port.name().c_str());
        continue;
      }
      Job job;
      job.call = std::move(call);
      job.port = port.name();
      const auto device = std::find(job.call.options.begin(), job.call.options.end(), "--usb-device");
      if (link == "usb" && device != job.call.options.end() && device + 1 != job.call.options.end())
        say("USB HotSync queued (at %s)", (device + 1)->c_str());
      else
        say("%s HotSync queued", link.c_str());
      enqueue(std::move(job), "handheld", link);
    }
  }

  // A queued HotSync whose caller went away (or pressed Cancel) before its
  // turn never starts; neither does that of a handheld that hung up.
  void dropWithdrawn(const std::vector<pollfd>& polled, size_t first) {
    std::deque<Job> kept;
    for (size_t i = 0; i < pending.size(); ++i) {
      Job& job = pending[i];
      if (polled[first + i].revents == 0) {
        kept.push_back(std::move(job));
        continue;
      }
      const bool handheld = job.client < 0;
      say("%s", handheld ? "a queued network HotSync hung up before its turn"
                         : "a queued HotSync was withdrawn by its caller before its turn");
      replyTo(job, {{"v", kManagerProtocol}, {"reply", "cancelled"}, {"hotsync", job.id}});
      endedOnPort(job.port);
      drop(job, handheld ? "hung-up" : "withdrawn");
    }
    pending = std::move(kept);
  }

  int loop() {
    QuitSignals signals;
    say("HotSync manager %d listening", static_cast<int>(::getpid()));
    std::fflush(stderr);
    while (!(quitting && !running())) {
      startNext();
      openPorts();
      publishPorts();
      std::vector<pollfd> polled = {{socket.fd(), POLLIN, 0}, {signals.fd(), POLLIN, 0}};
      const size_t childAt = polled.size();
      polled.push_back({running() ? child.pidFd : -1, POLLIN, 0});
      polled.push_back({running() ? child.reportFd : -1, POLLIN, 0});
      const bool watchCaller = running() && !cancelSent && current.client >= 0;
      polled.push_back({watchCaller ? current.client : -1, POLLIN, 0});
      const size_t portsAt = polled.size();
      for (const auto& port : ports) polled.push_back({port->pollFd(), port->pollEvents(), 0});
      // A caller writes nothing after its request: anything readable is its
      // end (EOF). A handheld may well have sent its first packet: only its
      // hang-up counts. A tty's or USB call has nothing to watch.
      const size_t pendingAt = polled.size();
      for (const Job& job : pending) {
        if (job.client >= 0)
          polled.push_back({job.client, POLLIN, 0});
        else
          polled.push_back({job.call.linkFd, POLLRDHUP, 0});
      }
      const size_t subscribersAt = polled.size();
      status.addPollFds(&polled);
      // Without a pidfd (old kernels) the child is looked at a few times a
      // second, and so is one that was asked to end for a quit; a port that
      // cannot be opened yet every few seconds.
      const bool ending = running() && quitting;
      int wait = running() && (child.pidFd < 0 || ending) ? 200 : -1;
      const bool retrying = std::any_of(ports.begin(), ports.end(), [](const auto& p) { return !p->isOpen(); });
      if (retrying && wait < 0) wait = kRetryMs;
      std::fflush(stderr);
      if (::poll(polled.data(), polled.size(), wait) < 0 && errno != EINTR) break;
      if (polled[1].revents != 0) {
        signals.take();
        beginQuit();
      }
      if (running() && polled[childAt + 1].revents != 0) readReport();
      if (running()) {
        int waitStatus = 0;
        if (::waitpid(child.pid, &waitStatus, WNOHANG) == child.pid) {
          childEnded(waitStatus);
        } else if (watchCaller && polled[childAt + 2].revents != 0) {
          // The caller went away (Ctrl-C, closed terminal) or forwarded its
          // Cancel: cancel its HotSync; a caller still there gets the status.
          ::kill(child.pid, SIGINT);
          cancelSent = true;
        } else if (quitting && cancelSent) {
          escalate();
        }
      }
      if (!quitting) dropWithdrawn(polled, pendingAt);
      status.handlePolled({polled.begin() + static_cast<long>(subscribersAt), polled.end()});
      for (size_t i = 0; i < ports.size() && portsAt + i < pendingAt; ++i) {
        if (polled[portsAt + i].revents != 0) portCalled(*ports[i], polled[portsAt + i].revents);
      }
      // Last: a reload may change the ports.
      if (polled[0].revents != 0) accept();
    }
    say("HotSync manager %d quits", static_cast<int>(::getpid()));
    std::fflush(stderr);
    return 0;
  }
};

ManagerServer::ManagerServer(std::filesystem::path dir, ConfigReader readConfig)
    : impl_(std::make_unique<Impl>(std::move(dir), std::move(readConfig))) {}

ManagerServer::~ManagerServer() {
  closeJob(impl_->current);
  for (Job& job : impl_->pending) closeJob(job);
}

bool ManagerServer::start(std::string* error) {
  if (!impl_->readConfig(&impl_->config, error) || !impl_->socket.listen(error)) return false;
  impl_->watchPorts(impl_->config.ports);
  return true;
}

int ManagerServer::run() { return impl_->loop(); }

}  // namespace tarvo::host
