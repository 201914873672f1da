#include "link/usb/played_usb_bus.h"

#include <poll.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "dlp/usb/connection_info.h"
#include "folder/handheld.h"
#include "hotsync/link.h"
#include "link/byte_stream.h"
#include "link/dlp_server.h"
#include "link/net/net_link.h"
#include "link/serial/padp_link.h"
#include "link/usb/usb_ids.h"

namespace hotsync::detail {
namespace {

using namespace dlp::usb;
namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kFolderPollInterval{100};

// One direction of the in-process pipe.
class Channel {
 public:
  void put(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    ready_.notify_all();
  }
  // Up to out.size() bytes; 0 when nothing came in time. False once closed.
  bool take(std::span<uint8_t> out, std::chrono::milliseconds timeout, std::size_t* n) {
    std::unique_lock lock(mutex_);
    ready_.wait_for(lock, timeout, [&] { return !bytes_.empty() || closed_; });
    *n = std::min(out.size(), bytes_.size());
    std::copy_n(bytes_.begin(), *n, out.begin());
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(*n));
    return *n > 0 || !closed_;
  }
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    ready_.notify_all();
  }
  bool closed() {
    std::lock_guard lock(mutex_);
    return closed_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<uint8_t> bytes_;
  bool closed_ = false;
};

struct Pipe {
  Channel toHandheld;
  Channel toDesktop;
  void cut() {
    toHandheld.close();
    toDesktop.close();
  }
};

// The handheld's end of the pipe.
class PipeStream : public ByteStream {
 public:
  explicit PipeStream(std::shared_ptr<Pipe> pipe) : pipe_(std::move(pipe)) {}
  std::size_t readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) override {
    std::size_t n = 0;
    if (!pipe_->toHandheld.take(out, timeout, &n)) throw LinkError("the desktop closed the USB link");
    if (n == 0) throw LinkError("the desktop stopped answering");
    return n;
  }
  void writeAll(std::span<const uint8_t> bytes) override {
    if (pipe_->toDesktop.closed()) throw LinkError("the USB link is cut");
    pipe_->toDesktop.put(bytes);
  }
  const std::string& peer() const override { return peer_; }
  void interrupt() override { pipe_->cut(); }

 private:
  std::shared_ptr<Pipe> pipe_;
  std::string peer_ = "the desktop on USB";
};

struct PlayedDevice {
  UsbDeviceInfo info;
  fs::path file;
  fs::path handheld;
  Framing framing = Framing::Net;
  std::vector<uint8_t> answer;
  uint64_t hangUpAfter = 0;
};

std::vector<uint8_t> fromHex(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The answer a device of that framing gives: one HotSync port on endpoint 2.
std::vector<uint8_t> defaultAnswer(Framing framing) {
  ConnectionInfo info;
  info.extended = framing == Framing::Net;
  info.ports.push_back(Port{info.extended ? kCreatorSync : kFunctionHotSync, 2, 0});
  return encodeConnectionInfo(info);
}

bool readDevice(const fs::path& file, PlayedDevice* d) {
  unsigned bus = 0;
  unsigned address = 0;
  if (std::sscanf(file.filename().c_str(), "%u-%u", &bus, &address) != 2) return false;
  std::ifstream in(file);
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  if (!values.count("handheld")) return false;
  try {
    d->file = file;
    d->handheld = values["handheld"];
    d->framing = values["framing"] == "serial" ? Framing::Serial : Framing::Net;
    const bool serial = d->framing == Framing::Serial;
    auto hex16 = [&](const char* key, const char* otherwise) {
      return static_cast<uint16_t>(std::stoul(values.count(key) ? values[key] : otherwise, nullptr, 16));
    };
    d->info = UsbDeviceInfo{static_cast<uint8_t>(bus), static_cast<uint8_t>(address),
                            hex16("vendor", serial ? "082d" : "0830"), hex16("product", serial ? "0100" : "0060")};
    d->answer = values.count("info") ? fromHex(values["info"]) : defaultAnswer(d->framing);
    d->hangUpAfter = values.count("hangup") ? std::stoull(values["hangup"]) : 0;
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

std::unique_ptr<Link> handheldLink(Framing framing, std::unique_ptr<ByteStream> stream) {
  if (framing == Framing::Net) return NetLink::handheld(std::move(stream));
  // It offers the fastest speed, which means nothing on USB, and keeps
  // waking the desktop up as a handheld does until it answers.
  return PadpLink::handheld(
      std::move(stream), 115200, [](uint32_t) {}, std::chrono::seconds(30));
}

class PlayedHandle : public UsbHandle {
 public:
  explicit PlayedHandle(PlayedDevice device) : device_(std::move(device)), pipe_(std::make_shared<Pipe>()) {
    player_ = std::thread([this] { play(); });
  }
  ~PlayedHandle() override {
    pipe_->cut();
    player_.join();
  }

  UsbTransfer controlIn(uint8_t requestType, uint8_t request, uint16_t, uint16_t, std::span<uint8_t> data,
                        std::chrono::milliseconds) override {
    if (requestType != kVendorRequestType) return {UsbStatus::Stall, 0};
    const bool answers = device_.framing == Framing::Net ? request == kExtConnectionInfo : request == kConnectionInfo;
    if (request == kBytesAvailable) {
      std::fill(data.begin(), data.end(), 0);
      return {UsbStatus::Ok, std::min<std::size_t>(data.size(), 2)};
    }
    if (!answers) return {UsbStatus::Stall, 0};
    const std::size_t n = std::min(data.size(), device_.answer.size());
    std::copy_n(device_.answer.begin(), n, data.begin());
    return {UsbStatus::Ok, n};
  }

  UsbTransfer bulkRead(uint8_t endpoint, std::span<uint8_t> data, std::chrono::milliseconds timeout) override {
    if (endpoint != (0x80 | 2)) return {UsbStatus::Stall, 0};
    std::size_t n = 0;
    if (!pipe_->toDesktop.take(data, timeout, &n)) return {UsbStatus::Gone, 0};
    return {n > 0 ? UsbStatus::Ok : UsbStatus::Timeout, n};
  }

  UsbTransfer bulkWrite(uint8_t endpoint, std::span<const uint8_t> data, std::chrono::milliseconds) override {
    if (endpoint != 2) return {UsbStatus::Stall, 0};
    if (pipe_->toHandheld.closed()) return {UsbStatus::Gone, 0};
    pipe_->toHandheld.put(data);
    return {UsbStatus::Ok, data.size()};
  }

  bool firstBulkEndpoints(uint8_t* in, uint8_t* out) override {
    *in = *out = 2;
    return true;
  }

 private:
  // The handheld's side, until the desktop ends the HotSync or the cable is
  // pulled; either way the device then leaves the bus.
  void play() {
    std::string error;
    auto handheld = Handheld::connect(device_.handheld, &error);
    if (handheld) {
      try {
        auto link = handheldLink(device_.framing, std::make_unique<PipeStream>(pipe_));
        link->setTimeout(std::chrono::seconds(kHandheldPatienceSeconds));
        DlpServer server(*handheld, *link, nullptr);
        server.hangUpAfter(device_.hangUpAfter);
        server.run();
      } catch (const std::exception&) {
        // The desktop went away or the cable was pulled: nothing to tell.
      }
      handheld->foldAll(&error);
    }
    pipe_->cut();
    std::error_code ignored;
    fs::remove(device_.file, ignored);
  }

  PlayedDevice device_;
  std::shared_ptr<Pipe> pipe_;
  std::thread player_;
};

class PlayedBus : public UsbBus {
 public:
  explicit PlayedBus(fs::path folder) : folder_(std::move(folder)) {}

  std::vector<UsbDeviceInfo> devices() override {
    std::vector<UsbDeviceInfo> found;
    for (const PlayedDevice& d : read()) found.push_back(d.info);
    return found;
  }

  std::unique_ptr<UsbHandle> open(const UsbDeviceInfo& device, std::string* error) override {
    for (PlayedDevice& d : read()) {
      if (d.info == device) return std::make_unique<PlayedHandle>(std::move(d));
    }
    *error = "the USB device at " + device.where() + " left the bus";
    return nullptr;
  }

  void waitForArrival(std::chrono::milliseconds limit, int cancelFd) override {
    pollfd cancel{cancelFd, POLLIN, 0};
    ::poll(&cancel, cancelFd >= 0 ? 1 : 0,
           static_cast<int>(std::clamp(limit, std::chrono::milliseconds(0), kFolderPollInterval).count()));
  }

 private:
  std::vector<PlayedDevice> read() {
    std::vector<PlayedDevice> devices;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, ec)) {
      PlayedDevice d;
      if (readDevice(entry.path(), &d)) devices.push_back(std::move(d));
    }
    std::sort(devices.begin(), devices.end(),
              [](const PlayedDevice& a, const PlayedDevice& b) { return a.info.address < b.info.address; });
    return devices;
  }

  fs::path folder_;
};

}  // namespace

std::unique_ptr<UsbBus> openPlayedUsbBus(const fs::path& folder) { return std::make_unique<PlayedBus>(folder); }

}  // namespace hotsync::detail
