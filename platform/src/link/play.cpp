// The handheld's end of a network HotSync, played by a simulated handheld.
#include "hotsync/link.h"
#include "link/dlp_server.h"
#include "link/net/net_link.h"
#include "link/net/tcp.h"

namespace hotsync {

bool playNetworkHotSync(const std::filesystem::path& dir, const std::string& desktop, const PlayOptions& options,
                        std::string* error) {
  const LinkNotice& notice = options.notice;
  try {
    std::string host;
    uint16_t port = 0;
    if (!detail::splitHostPort(desktop, &host, &port, error)) return false;
    auto handheld = detail::Handheld::connect(dir, error);
    if (!handheld) return false;
    bool ended = false;
    try {
      // The desktop may think for a long time (a conduit talking to its
      // server), so the handheld waits longer than for a single answer.
      auto link = detail::NetLink::connect(host, port, std::chrono::seconds(std::max(options.retrySeconds, 0)));
      link->setTimeout(std::chrono::minutes(10));
      if (notice) notice("connected to " + link->peer());
      detail::DlpServer server(*handheld, *link, notice);
      server.hangUpAfter(options.hangUpAfter);
      ended = server.run();
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

}  // namespace hotsync
