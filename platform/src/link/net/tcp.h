// TCP for network HotSync: addresses, and the streams of both ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "link/byte_stream.h"

struct sockaddr_storage;

namespace hotsync::detail {

// "ADDRESS:PORT" of a socket address, numeric.
std::string describeAddress(const sockaddr_storage& addr);

// Connects to HOST:PORT, trying again for up to `retry` while nothing
// listens there. Throws LinkError.
std::unique_ptr<FdStream> connectTcp(const std::string& host, uint16_t port, std::chrono::seconds retry);
// The stream of a connected socket (taken over): small packets go out at once.
std::unique_ptr<FdStream> tcpStream(int fd, std::string peer);

}  // namespace hotsync::detail
