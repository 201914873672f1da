// The one place that opens a port for handhelds to call on, and the one
// switch from a port's kind to its link.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "hotsync/host.h"
#include "hotsync/usb.h"
#include "link/connect.h"
#include "link/net/listener.h"
#include "link/port_wait.h"
#include "link/serial/tty.h"

namespace hotsync {

struct HandheldPort::Impl {
  PortName named;
  std::unique_ptr<detail::Listener> listener;  // net:, serial-tcp:
  int ttyFd = -1;                              // a watched tty
  bool ttyTaken = false;                       // its call was taken, its HotSync not over
  bool ttyMissingSaid = false;
  int usbFd = -1;  // the USB watch's reports, not ours to close

  ~Impl() {
    if (ttyFd >= 0) ::close(ttyFd);
    if (usbFd >= 0) stopWatchingUsb();
  }

  std::unique_ptr<detail::Link> waitForLink(const detail::PortWait& wait, const detail::PortNotice& notice) {
    switch (named.kind) {
      case PortName::Net:
        if (notice) notice("waiting for a handheld's network HotSync on port " + std::to_string(listener->port()));
        detail::waitReadable(listener->fd(), wait);
        return listener->accept();
      case PortName::Tty:
      case PortName::SerialTcp:
        return detail::openSerialLink(named, listener.get(), wait, notice);
      case PortName::Usb:
        return detail::openUsbLink(named, wait, notice);
    }
    throw detail::LinkError("an unknown kind of port");
  }
};

HandheldPort::HandheldPort(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HandheldPort::~HandheldPort() = default;

std::unique_ptr<HandheldPort> HandheldPort::open(const PortName& named, std::string* error) {
  try {
    auto impl = std::make_unique<Impl>();
    impl->named = named;
    if (named.kind == PortName::Net || named.kind == PortName::SerialTcp)
      impl->listener = detail::Listener::open(named.host, named.port);
    return std::unique_ptr<HandheldPort>(new HandheldPort(std::move(impl)));
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return nullptr;
  }
}

const PortName& HandheldPort::name() const { return impl_->named; }

uint16_t HandheldPort::boundPort() const { return impl_->listener ? impl_->listener->port() : 0; }

WaitResult HandheldPort::connect(const WaitOptions& options, std::string* error) {
  auto failed = [&](WaitResult result, const std::string& reason) {
    if (error) *error = reason;
    return result;
  };
  try {
    detail::PortWait wait;
    wait.rate = options.rate;
    wait.usbDevice = options.usbDevice;
    wait.cancelFd = detail::stopPipe();
    // A Cancel that came before the pipe was emptied (a signal at once).
    if (cancelRequested()) return failed(WaitResult::Stopped, "stopped waiting for a handheld");
    if (options.waitSeconds > 0)
      wait.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.waitSeconds);
    std::unique_ptr<detail::Link> link = impl_->waitForLink(wait, options.notice);
    return detail::attachLinkedHandheld(std::move(link), error) ? WaitResult::Connected : WaitResult::Failed;
  } catch (const detail::NoHandheldCame& e) {
    return failed(WaitResult::NoHandheld, e.what());
  } catch (const detail::WaitStopped& e) {
    return failed(WaitResult::Stopped, e.what());
  } catch (const std::exception& e) {
    return failed(WaitResult::Failed, e.what());
  }
}

int HandheldPort::watchFd(std::string* note) {
  Impl& p = *impl_;
  try {
    switch (p.named.kind) {
      case PortName::Net:
      case PortName::SerialTcp: {
        // A handheld that hangs up between the poll and the accept must not block the loop.
        const int fd = p.listener->fd();
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        return fd;
      }
      case PortName::Tty:
        if (p.ttyFd < 0) {
          try {
            p.ttyFd = detail::openTty(p.named.path);
            p.ttyMissingSaid = false;
          } catch (const detail::LinkError& e) {
            // An adapter not plugged in yet is looked for again; said once.
            if (note && !p.ttyMissingSaid) *note = e.what();
            p.ttyMissingSaid = true;
          }
        }
        return p.ttyTaken ? -1 : p.ttyFd;
      case PortName::Usb:
        if (p.usbFd < 0) {
          p.usbFd = watchUsbHandhelds(note);
          if (p.usbFd < 0) throw detail::LinkError(note ? *note : "cannot watch USB");
        }
        return p.usbFd;
    }
  } catch (const std::exception& e) {
    if (note) *note = e.what();
  }
  return -1;
}

std::vector<HandheldPort::Call> HandheldPort::takeCalls() {
  Impl& p = *impl_;
  std::vector<Call> calls;
  switch (p.named.kind) {
    case PortName::Net:
    case PortName::SerialTcp: {
      if (!p.listener) break;
      const int fd = ::accept4(p.listener->fd(), nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) calls.push_back(Call{fd, {}});
      break;
    }
    case PortName::Tty: {
      if (p.ttyFd < 0 || p.ttyTaken) break;
      pollfd polled{p.ttyFd, POLLIN, 0};
      if (::poll(&polled, 1, 0) <= 0) break;
      if ((polled.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        ::close(p.ttyFd);  // unplugged: looked for again
        p.ttyFd = -1;
        break;
      }
      p.ttyTaken = true;
      calls.push_back(Call{});
      break;
    }
    case PortName::Usb: {
      if (p.usbFd < 0) break;
      char text[256];
      const ssize_t n = ::read(p.usbFd, text, sizeof text - 1);
      if (n <= 0) break;
      const std::string lines(text, static_cast<std::size_t>(n));
      for (std::size_t at = 0; at < lines.size();) {
        const std::size_t end = std::min(lines.find('\n', at), lines.size());
        if (end > at) calls.push_back(Call{-1, lines.substr(at, end - at)});
        at = end + 1;
      }
      break;
    }
  }
  return calls;
}

void HandheldPort::resume() {
  // What the tty's HotSync left unread is no new handheld.
  if (impl_->ttyFd >= 0) ::tcflush(impl_->ttyFd, TCIFLUSH);
  impl_->ttyTaken = false;
}

}  // namespace hotsync
