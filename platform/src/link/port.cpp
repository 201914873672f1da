#include "hotsync/port.h"

#include <algorithm>
#include <span>
#include <tuple>

#include "dlp/slp/cmp.h"

namespace hotsync {

namespace {

constexpr const char* kDefaultHost = "127.0.0.1";
constexpr const char* kForms = "a tty path such as /dev/ttyUSB0, net:[ADDR][:PORT], serial-tcp:[ADDR][:PORT] or usb:";

bool fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// "[ADDR][:PORT]" after a kind's prefix. An IPv6 address goes in brackets
// when a port follows; "any" is every address, as pilot-link spells it.
bool parseAddress(const std::string& text, const std::string& whole, PortName* named, std::string* error) {
  std::string host = text;
  std::string portText;
  bool hasPort = false;
  if (text.starts_with('[')) {
    const auto close = text.find(']');
    if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':'))
      return fail(error, "not a port: \"" + whole + "\" (" + kForms + ")");
    host = text.substr(1, close - 1);
    hasPort = close + 1 < text.size();
    if (hasPort) portText = text.substr(close + 2);
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    host = text.substr(0, text.find(':'));
    portText = text.substr(text.find(':') + 1);
    hasPort = true;
  }
  if (hasPort) {
    const bool digits = !portText.empty() && portText.size() <= 5 &&
                        std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; });
    const long value = digits ? std::stol(portText) : -1;
    if (value < 0 || value > 65535) return fail(error, "not a port number in \"" + whole + "\": " + portText);
    named->port = static_cast<uint16_t>(value);
  }
  if (host == "any") host = "0.0.0.0";
  named->host = host.empty() ? kDefaultHost : host;
  return true;
}

}  // namespace

bool parsePortName(const std::string& text, PortName* named, std::string* error) {
  *named = PortName{};
  if (text.empty() || text == "net:") return true;
  if (text.starts_with('/')) {
    named->kind = PortName::Tty;
    named->path = text;
    return true;
  }
  if (text == "usb:") {
    named->kind = PortName::Usb;
    return true;
  }
  for (const auto& [prefix, kind, port] : {std::tuple{"net:", PortName::Net, kNetHotSyncPort},
                                           std::tuple{"serial-tcp:", PortName::SerialTcp, kSerialTcpPort}}) {
    const std::string p = prefix;
    if (!text.starts_with(p)) continue;
    named->kind = kind;
    named->port = port;
    return parseAddress(text.substr(p.size()), text, named, error);
  }
  return fail(error, "not a port: \"" + text + "\" (" + kForms + ")");
}

bool parsePortNames(const std::string& text, std::vector<PortName>* named, std::string* error) {
  named->clear();
  std::string word;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ',';
    if (c != ',' && c != ' ' && c != '\t') {
      word += c;
      continue;
    }
    if (word.empty()) continue;
    PortName one;
    if (!parsePortName(word, &one, error)) return false;
    named->push_back(std::move(one));
    word.clear();
  }
  return true;
}

std::string portText(const PortName& named) {
  switch (named.kind) {
    case PortName::Tty:
      return named.path;
    case PortName::Usb:
      return "usb:";
    case PortName::Net:
    case PortName::SerialTcp:
      break;
  }
  const std::string host = named.host.find(':') != std::string::npos ? "[" + named.host + "]" : named.host;
  return (named.kind == PortName::Net ? "net:" : "serial-tcp:") + host + ":" + std::to_string(named.port);
}

bool portIsLocal(const PortName& named) {
  if (named.kind == PortName::Tty || named.kind == PortName::Usb) return true;
  return named.host == "localhost" || named.host == "::1" || named.host.starts_with("127.");
}

bool isSerialSpeed(uint32_t rate) {
  const std::span<const uint32_t> speeds = dlp::cmp::standardRates();
  return std::find(speeds.begin(), speeds.end(), rate) != speeds.end();
}

std::vector<uint32_t> serialSpeeds() {
  const std::span<const uint32_t> speeds = dlp::cmp::standardRates();
  return {speeds.begin(), speeds.end()};
}

std::string serialSpeedList() {
  const std::span<const uint32_t> speeds = dlp::cmp::standardRates();
  std::string text;
  for (size_t i = 0; i < speeds.size(); ++i)
    text += (i == 0 ? "" : i + 1 == speeds.size() ? " or " : ", ") + std::to_string(speeds[i]);
  return text;
}

}  // namespace hotsync
