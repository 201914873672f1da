#include "link/net/net_link.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dlp/packet.h"
#include "link/net/tcp.h"

namespace hotsync::detail {

std::unique_ptr<NetLink> NetLink::connect(const std::string& host, uint16_t port, std::chrono::seconds retry) {
  return handheld(connectTcp(host, port, retry));
}

std::unique_ptr<NetLink> NetLink::handheld(std::unique_ptr<ByteStream> stream) {
  std::unique_ptr<NetLink> link(new NetLink(std::move(stream), false));
  // The opening exchange: hello, (welcome), confirm, (accept), ready.
  link->send(dlp::handheldHello());
  if (link->receive().empty()) throw LinkError("the desktop's welcome is empty");
  link->send(dlp::handheldConfirm());
  if (link->receive().empty()) throw LinkError("the desktop's acceptance is empty");
  link->send(dlp::handheldReady());
  return link;
}

std::unique_ptr<NetLink> NetLink::desktop(std::unique_ptr<ByteStream> stream) {
  std::unique_ptr<NetLink> link(new NetLink(std::move(stream), true));
  // Some handhelds send their hello without a frame around it.
  uint8_t first = 0;
  link->readExactly(&first, 1);
  std::vector<uint8_t> hello;
  if (first == dlp::handheldHello()[0]) {
    hello.resize(dlp::handheldHello().size());
    hello[0] = first;
    link->readExactly(hello.data() + 1, hello.size() - 1);
  } else {
    uint8_t header[dlp::kFrameHeaderSize] = {first};
    link->readExactly(header + 1, sizeof header - 1);
    const dlp::FrameHeader h = dlp::decodeFrameHeader(header);
    hello.resize(h.length);
    link->readExactly(hello.data(), hello.size());
    link->txid_ = h.txid;
  }
  if (hello.empty() || hello[0] != dlp::handheldHello()[0]) throw LinkError("the handheld's hello is not one");
  link->send(dlp::desktopWelcome());
  link->receive();
  link->send(dlp::desktopAccept());
  link->receive();
  return link;
}

std::unique_ptr<NetLink> NetLink::handedOver(int fd) {
  const auto failed = [fd](bool close) {
    const std::string reason = std::string("the handed-over link: ") + std::strerror(errno);
    if (close) ::close(fd);
    return LinkError(reason);
  };
  if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) throw failed(false);
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) throw failed(true);
  return desktop(tcpStream(fd, describeAddress(peer)));
}

void NetLink::send(std::span<const uint8_t> payload) {
  if (desktop_) txid_ = static_cast<uint8_t>(txid_ >= 0xFE ? 1 : txid_ + 1);
  stream_->writeAll(dlp::encodeFrame(dlp::kFrameData, txid_, payload));
}

void NetLink::sendKeepAlive() { stream_->writeAll(dlp::encodeFrame(dlp::kFrameTickle, 0xFF, {})); }

std::vector<uint8_t> NetLink::receive() {
  for (;;) {
    uint8_t header[dlp::kFrameHeaderSize];
    readExactly(header, sizeof header);
    const dlp::FrameHeader h = dlp::decodeFrameHeader(header);
    if (h.type == dlp::kFrameTickle) continue;
    std::vector<uint8_t> payload(h.length);
    readExactly(payload.data(), payload.size());
    if (!desktop_) txid_ = h.txid;  // the answer carries the request's number
    return payload;
  }
}

}  // namespace hotsync::detail
