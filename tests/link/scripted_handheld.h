// A handheld played in the test process over network HotSync: it makes the
// opening exchange with a desktop listening on a loopback port and answers
// each request with bytes the test gives, so a desktop can be tried against
// what real handhelds send.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

#include "dlp/messages.h"
#include "dlp/packet.h"
#include "dlp/table.h"

namespace tarvo::test {

// A whole response packet for a request; empty: hang up.
using Answer = std::function<std::vector<uint8_t>(const dlp::Request&)>;

// The answer as a network frame of the data type.
std::vector<uint8_t> frame(const dlp::Response& response);

class ScriptedHandheld {
 public:
  // Connects to 127.0.0.1:port, trying again for a while until the desktop
  // listens. Unless `scriptConnect`, it answers the connect requests itself
  // (Palm OS 5.1, DLP 1.1, user "Link User" id 77) and only the others
  // with `answer`.
  ScriptedHandheld(uint16_t port, Answer answer, bool scriptConnect = false);
  ~ScriptedHandheld();
  ScriptedHandheld(const ScriptedHandheld&) = delete;
  ScriptedHandheld& operator=(const ScriptedHandheld&) = delete;

  // Every request received so far.
  std::vector<dlp::Request> requests() const;

 private:
  bool readAll(uint8_t* out, std::size_t n);
  bool readFrame(std::vector<uint8_t>* payload);
  void send(const std::vector<uint8_t>& bytes);
  void run(uint16_t port, const Answer& answer, bool scriptConnect);

  int fd_ = -1;
  mutable std::mutex mutex_;
  std::vector<dlp::Request> requests_;
  std::future<void> done_;
};

}  // namespace tarvo::test
