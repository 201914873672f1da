#include "link/port.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace hotsync::detail {

namespace {

constexpr uint16_t kNetPort = 14238;
constexpr const char* kDefaultHost = "127.0.0.1";
constexpr const char* kForms = "a tty path such as /dev/ttyUSB0, net:[ADDR][:PORT], serial-tcp:[ADDR][:PORT] or usb:";

bool fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// "[ADDR][:PORT]" after a kind's prefix. An IPv6 address goes in brackets
// when a port follows; "any" is every address, as pilot-link spells it.
bool parseAddress(const std::string& text, const std::string& whole, PortSpec* spec, std::string* error) {
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
    char* end = nullptr;
    const long value = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || value < 0 || value > 65535)
      return fail(error, "not a port number in \"" + whole + "\": " + portText);
    spec->port = static_cast<uint16_t>(value);
  }
  if (host == "any") host = "0.0.0.0";
  spec->host = host.empty() ? kDefaultHost : host;
  return true;
}

}  // namespace

bool parsePortSpec(const std::string& text, PortSpec* spec, std::string* error) {
  *spec = PortSpec{};
  if (text.empty() || text == "net:") {
    spec->host = kDefaultHost;
    spec->port = kNetPort;
    return true;
  }
  if (text.starts_with('/')) {
    spec->kind = PortSpec::Tty;
    spec->path = text;
    return true;
  }
  if (text == "usb:") {
    spec->kind = PortSpec::Usb;
    return true;
  }
  for (const auto& [prefix, kind, port] :
       {std::tuple{"net:", PortSpec::Net, kNetPort}, std::tuple{"serial-tcp:", PortSpec::SerialTcp, kSerialTcpPort}}) {
    const std::string p = prefix;
    if (!text.starts_with(p)) continue;
    spec->kind = kind;
    spec->port = port;
    return parseAddress(text.substr(p.size()), text, spec, error);
  }
  return fail(error, "not a port: \"" + text + "\" (" + kForms + ")");
}

std::string portText(const PortSpec& spec) {
  switch (spec.kind) {
    case PortSpec::Tty:
      return spec.path;
    case PortSpec::Usb:
      return "usb:";
    case PortSpec::Net:
    case PortSpec::SerialTcp:
      break;
  }
  const std::string host = spec.host.find(':') != std::string::npos ? "[" + spec.host + "]" : spec.host;
  return (spec.kind == PortSpec::Net ? "net:" : "serial-tcp:") + host + ":" + std::to_string(spec.port);
}

bool portIsLocal(const PortSpec& spec) {
  if (spec.kind == PortSpec::Tty || spec.kind == PortSpec::Usb) return true;
  return spec.host == "localhost" || spec.host == "::1" || spec.host.starts_with("127.");
}

}  // namespace hotsync::detail
