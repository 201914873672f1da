#include "scripted_handheld.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace tarvo::test {

std::vector<uint8_t> frame(const dlp::Response& response) {
  return dlp::encodeFrame(dlp::kFrameData, 1, dlp::encodeResponse(response));
}

ScriptedHandheld::ScriptedHandheld(uint16_t port, Answer answer, bool scriptConnect) {
  done_ = std::async(std::launch::async, [this, port, answer, scriptConnect] { run(port, answer, scriptConnect); });
}

ScriptedHandheld::~ScriptedHandheld() {
  {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
  }
  done_.wait();
  if (fd_ >= 0) ::close(fd_);
}

std::vector<dlp::Request> ScriptedHandheld::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool ScriptedHandheld::readAll(uint8_t* out, std::size_t n) {
  for (std::size_t got = 0; got < n;) {
    const ssize_t r = ::recv(fd_, out + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

bool ScriptedHandheld::readFrame(std::vector<uint8_t>* payload) {
  uint8_t header[6];
  if (!readAll(header, 6)) return false;
  payload->resize(dlp::decodeFrameHeader(header).length);
  return readAll(payload->data(), payload->size());
}

void ScriptedHandheld::send(const std::vector<uint8_t>& bytes) {
  (void)!::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void ScriptedHandheld::run(uint16_t port, const Answer& answer, bool scriptConnect) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // A desktop program takes a moment to listen; a bounded wait for it.
  for (int attempt = 0; attempt < 300; ++attempt) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      std::lock_guard lock(mutex_);
      fd_ = fd;
      break;
    }
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (fd_ < 0) return;
  std::vector<uint8_t> in;
  send(dlp::encodeFrame(dlp::kFrameData, 0, dlp::handheldHello()));
  if (!readFrame(&in)) return;
  send(dlp::encodeFrame(dlp::kFrameData, 0, dlp::handheldConfirm()));
  if (!readFrame(&in)) return;
  send(dlp::encodeFrame(dlp::kFrameData, 0, dlp::handheldReady()));
  while (readFrame(&in)) {
    const dlp::Request request = dlp::decodeRequest(in);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    std::vector<uint8_t> out;
    if (scriptConnect) {
      out = answer(request);
    } else if (request.command == dlp::ReadSysInfo) {
      dlp::msg::ReadSysInfo::Answer system;
      system.info.romVersion = 0x05103000;
      out = frame(dlp::answerOf<dlp::msg::ReadSysInfo>(system));
    } else if (request.command == dlp::ReadUserInfo) {
      out = frame(dlp::answerOf<dlp::msg::ReadUserInfo>({{77, 0, 0, {}, {}, "Link User", {}}}));
    } else if (request.command == dlp::OpenConduit) {
      out = frame({request.command, 0, {}});
    } else {
      out = answer(request);
    }
    if (out.empty()) {  // hang up
      ::shutdown(fd_, SHUT_RDWR);
      return;
    }
    send(out);
  }
}

}  // namespace tarvo::test
