// What the HotSync manager does, as a state request shows it, and the
// events that change it, each numbered and sent in order to every
// subscriber (docs/manager-protocol.md).
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarvo::host {

class ManagerStatus {
 public:
  ManagerStatus();
  ~ManagerStatus();
  ManagerStatus(const ManagerStatus&) = delete;
  ManagerStatus& operator=(const ManagerStatus&) = delete;

  // The whole state.
  nlohmann::json state() const;

  // A watched port's entry ({port, link, condition, ...}): added or replaced.
  void portChanged(const nlohmann::json& port);
  void portRemoved(const std::string& name);
  // A new HotSync joins the queue; returns its id.
  int queued(const std::string& origin, const std::string& port, const std::string& link);
  // One that never started leaves the queue (or the running place).
  void dropped(int id, const std::string& reason);
  void started(int id, pid_t pid);
  // One line the running HotSync reported; unknown or malformed ones are ignored.
  void reported(const std::string& line);
  void ended(int status);
  void reloaded(bool ok, const std::string& message);
  void quitting();

  // A caller that asked for events: it gets the state now, then each event.
  void subscribe(int fd);
  // What to poll for the subscribers, and what came of it.
  void addPollFds(std::vector<pollfd>* polled) const;
  void handlePolled(const std::vector<pollfd>& polled);

 private:
  struct Subscriber {
    int fd = -1;
    std::string unsent;
  };
  nlohmann::json manager_, ports_, queue_, hotsync_, last_;
  long long seq_ = 0;
  int nextId_ = 1;
  std::vector<Subscriber> subscribers_;

  void emit(const std::string& type, nlohmann::json fields);
  void send(Subscriber& subscriber, const std::string& line);
  void flush(Subscriber& subscriber);
  void drop(size_t index);
};

}  // namespace tarvo::host
