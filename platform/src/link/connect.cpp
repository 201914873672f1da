// The desktop's end of a HotSync: listening for network handhelds, and
// connecting the handheld that calls behind the Sync Manager.
#include "link/connect.h"

#include <atomic>

#include "hotsync/link.h"
#include "link/dlp_device.h"
#include "link/net/listener.h"
#include "link/net/tcp.h"
#include "session.h"

namespace hotsync {

namespace {

std::mutex listenerMutex;
std::unique_ptr<detail::Listener> listener;
std::atomic<detail::Listener*> waitingOn{nullptr};  // for stopListening from a signal handler

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
}

void closeListener() {
  std::lock_guard lock(listenerMutex);
  waitingOn.store(nullptr);
  listener.reset();
}

}  // namespace hotsync
