// The desktop's end of a serial HotSync on a tty or on an emulator's serial
// port carried over TCP: waits for the handheld's first bytes, tells from
// them whether it speaks serial packets or network HotSync frames, and
// makes the opening exchange in that framing.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "link/net/listener.h"
#include "link/net/net_link.h"
#include "link/net/tcp.h"
#include "link/port_wait.h"
#include "link/serial/first_bytes.h"
#include "link/serial/padp_link.h"
#include "link/serial/replay_stream.h"
#include "link/serial/tty.h"

namespace hotsync::detail {

namespace {

// Reads until the first bytes tell the framing; line noise before them is
// dropped, and never more than a few KiB are held.
std::unique_ptr<ReplayStream> readFirstBytes(std::unique_ptr<FdStream> stream, const PortWait& wait,
                                             FirstBytes::Framing* framing) {
  std::vector<uint8_t> seen;
  uint8_t chunk[1024];
  for (;;) {
    waitReadable(stream->fd(), wait);
    const std::size_t n = stream->readSome(chunk, std::chrono::milliseconds(1000));
    seen.insert(seen.end(), chunk, chunk + n);
    const FirstBytes found = recogniseFraming(seen);
    seen.erase(seen.begin(), seen.begin() + static_cast<std::ptrdiff_t>(found.noise));
    if (found.framing != FirstBytes::Unknown) {
      *framing = found.framing;
      const int fd = stream->fd();
      auto replay = std::make_unique<ReplayStream>(std::move(stream), std::move(seen));
      // The opening exchange is still part of the wait: a stop ends it at once.
      replay->stopOn(fd, wait.cancelFd);
      return replay;
    }
  }
}

std::unique_ptr<FdStream> acceptEmulator(Listener* listener, const PortWait& wait, const PortNotice& notice) {
  if (listener == nullptr) throw LinkError("not listening for an emulator");
  if (notice) notice("waiting for an emulator's serial HotSync on port " + std::to_string(listener->port()));
  for (;;) {
    waitReadable(listener->fd(), wait);
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listener->fd(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd >= 0) return tcpStream(fd, describeAddress(peer));
    if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN) {
      throw LinkError(std::string("cannot accept an emulator: ") + std::strerror(errno));
    }
  }
}

}  // namespace

std::unique_ptr<Link> openSerialLink(const PortName& named, Listener* listener, const PortWait& wait,
                                     const PortNotice& notice) {
  std::unique_ptr<FdStream> stream;
  PadpLink::RateSwitch switchRate;
  if (named.kind == PortName::Tty) {
    stream = std::make_unique<FdStream>(openTty(named.path), named.path);
    if (notice) notice("waiting for a handheld's serial HotSync on " + named.path);
    const int fd = stream->fd();
    switchRate = [fd](uint32_t rate) {
      setTtyRate(fd, rate);
      // The handheld changes its speed after it acknowledged ours; give it
      // that moment before the first request.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
  } else {
    stream = acceptEmulator(listener, wait, notice);  // no speed: the bytes go as fast as TCP carries them
  }
  FirstBytes::Framing framing = FirstBytes::Unknown;
  std::unique_ptr<ReplayStream> replay = readFirstBytes(std::move(stream), wait, &framing);
  ReplayStream& opening = *replay;
  std::unique_ptr<Link> link;
  if (framing == FirstBytes::Network) {
    link = NetLink::desktop(std::move(replay));
  } else {
    link = PadpLink::desktop(std::move(replay), wait.rate, switchRate);
  }
  opening.stopOn(-1, -1);  // from here on a stop is the HotSync's Cancel, not the link's end
  return link;
}

}  // namespace hotsync::detail
