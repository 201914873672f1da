// The desktop's end of a HotSync: listening for network handhelds, and
// connecting the handheld that calls behind the Sync Manager.
#include "link/connect.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "hotsync/host.h"
#include "hotsync/link.h"
#include "link/dlp_device.h"
#include "link/net/listener.h"
#include "link/net/tcp.h"
#include "link/port_wait.h"
#include "session.h"

namespace hotsync {

namespace {

std::mutex listenerMutex;
std::unique_ptr<detail::Listener> listener;
std::atomic<detail::Listener*> waitingOn{nullptr};  // for stopListening from a signal handler
// Stops a wait on any port: stopListening writes a byte, the wait polls it.
std::atomic<int> stopWriteFd{-1};
int stopReadFd = -1;

int stopPipe() {
  static std::once_flag once;
  std::call_once(once, [] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    stopReadFd = fds[0];
    stopWriteFd.store(fds[1]);
  });
  char drained[64];
  while (stopReadFd >= 0 && ::read(stopReadFd, drained, sizeof drained) > 0) {
  }
  return stopReadFd;
}

}  // namespace

uint16_t listenForHandheld(const std::string& address, std::string* error) {
  try {
    std::string host;
    uint16_t port = 0;
    if (!detail::splitHostPort(address, &host, &port, error)) return 0;
    std::lock_guard lock(listenerMutex);
    waitingOn.store(nullptr);
    listener = detail::Listener::open(host, port);
    waitingOn.store(listener.get());
    return listener->port();
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return 0;
  }
}

namespace detail {

bool attachLinkedHandheld(std::unique_ptr<Link> link, std::string* error) {
  auto device = std::make_unique<DlpDevice>(std::move(link));
  auto& s = session();
  std::unique_lock lock(s.mutex);
  if (s.handheld) {
    if (error) *error = "a handheld is connected already: " + s.handheld->describe();
    return false;
  }
  attachDevice(std::move(device), lock);
  return true;
}

}  // namespace detail

bool acceptNetworkHandheld(std::string* error) {
  try {
    std::unique_ptr<detail::Link> link;
    {
      std::lock_guard lock(listenerMutex);
      if (!listener) {
        if (error) *error = "not listening for a handheld";
        return false;
      }
      link = listener->accept();
    }
    return detail::attachLinkedHandheld(std::move(link), error);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

int listenerSocket() {
  std::lock_guard lock(listenerMutex);
  return listener ? listener->fd() : -1;
}

bool connectHandedOverHandheld(int fd, std::string* error) {
  try {
    return detail::attachLinkedHandheld(detail::NetLink::handedOver(fd), error);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

void stopListening() {
  if (detail::Listener* l = waitingOn.load()) l->interrupt();
  if (const int fd = stopWriteFd.load(); fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  }
}

bool checkPort(const std::string& port, std::string* error) {
  detail::PortName named;
  return detail::parsePortName(port, &named, error);
}

std::string portName(const std::string& port) {
  detail::PortName named;
  return detail::parsePortName(port, &named, nullptr) ? detail::portText(named) : std::string();
}

bool portIsLocal(const std::string& port) {
  detail::PortName named;
  return detail::parsePortName(port, &named, nullptr) && detail::portIsLocal(named);
}

WaitResult waitForHandheldOn(const WaitOptions& options, std::string* error) {
  auto failed = [&](WaitResult result, const std::string& reason) {
    if (error) *error = reason;
    return result;
  };
  try {
    detail::PortName named;
    std::string reason;
    if (!detail::parsePortName(options.port, &named, &reason)) return failed(WaitResult::Failed, reason);
    detail::PortWait wait;
    wait.rate = options.rate;
    wait.cancelFd = stopPipe();
    // A Cancel that came before the pipe was emptied (a signal at once).
    if (cancelRequested()) return failed(WaitResult::Stopped, "stopped waiting for a handheld");
    if (options.waitSeconds > 0)
      wait.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.waitSeconds);
    std::unique_ptr<detail::Link> link = detail::waitForHandheld(named, wait, options.notice);
    return detail::attachLinkedHandheld(std::move(link), error) ? WaitResult::Connected : WaitResult::Failed;
  } catch (const detail::NoHandheldCame& e) {
    return failed(WaitResult::NoHandheld, e.what());
  } catch (const detail::WaitStopped& e) {
    return failed(WaitResult::Stopped, e.what());
  } catch (const std::exception& e) {
    return failed(WaitResult::Failed, e.what());
  }
}

void closeListener() {
  std::lock_guard lock(listenerMutex);
  waitingOn.store(nullptr);
  listener.reset();
}

}  // namespace hotsync
