// The handheld's end of a HotSync over a link, played by a simulated handheld.
#include <algorithm>
#include <functional>

#include "hotsync/link.h"
#include "link/dlp_server.h"
#include "link/net/net_link.h"
#include "link/net/tcp.h"
#include "link/serial/padp_link.h"
#include "link/serial/tty.h"

namespace hotsync {

namespace {

constexpr uint32_t kOfferedRate = 115200;

using MakeLink = std::function<std::unique_ptr<detail::Link>()>;

bool playOver(const std::filesystem::path& dir, const MakeLink& makeLink, const PlayOptions& options,
              std::string* error) {
  const LinkNotice& notice = options.notice;
  try {
    auto handheld = detail::Handheld::connect(dir, error);
    if (!handheld) return false;
    bool ended = false;
    try {
      std::unique_ptr<detail::Link> link = makeLink();
      // A desktop that thinks for long (a conduit talking to its server)
      // must say so with keep-alives, or the handheld gives up.
      link->setTimeout(std::chrono::seconds(std::max(options.patienceSeconds, 1)));
      if (notice) notice("connected to " + link->peer());
      detail::DlpServer server(*handheld, *link, notice);
      server.hangUpAfter(options.hangUpAfter);
      ended = server.run();
      if (options.endStatus) *options.endStatus = server.endStatus();
      if (notice) notice("answered " + std::to_string(server.answered()) + " requests");
    } catch (const std::exception& e) {
      if (error) *error = e.what();
    }
    // Changes of completed requests are journalled already; fold them now.
    std::string foldError;
    if (!handheld->foldAll(&foldError) && ended) {
      if (error) *error = "cannot write the handheld's files: " + foldError;
      return false;
    }
    return ended;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

}  // namespace

bool playHotSync(const std::filesystem::path& dir, const PortName& desktop, const PlayOptions& options,
                 std::string* error) {
  const uint32_t rate = options.rate == 0 ? kOfferedRate : options.rate;
  const auto patience = std::chrono::seconds(std::max(options.retrySeconds, 0));
  switch (desktop.kind) {
    case PortName::Net:
      return playOver(
          dir, [&] { return detail::NetLink::connect(desktop.host, desktop.port, patience); }, options, error);
    case PortName::Tty:
      return playOver(
          dir,
          [&] {
            auto stream = std::make_unique<detail::FdStream>(detail::openTty(desktop.path), desktop.path);
            const int fd = stream->fd();
            return detail::PadpLink::handheld(
                std::move(stream), rate, [fd](uint32_t r) { detail::setTtyRate(fd, r); }, patience);
          },
          options, error);
    case PortName::SerialTcp:
      return playOver(
          dir,
          [&] {
            // Nothing to switch: the bytes go as fast as TCP carries them.
            return detail::PadpLink::handheld(detail::connectTcp(desktop.host, desktop.port, patience), rate, {},
                                              patience);
          },
          options, error);
    case PortName::Usb:
      break;
  }
  if (error) *error = "a played handheld does not call over USB";
  return false;
}

}  // namespace hotsync
