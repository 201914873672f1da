#include "host/session_environment.h"

#include "host/program_output.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace tarvo::host {
namespace {

// The values of $'...' as systemd writes them.
std::string unquote(const std::string& value) {
  if (!value.starts_with("$'") || !value.ends_with('\'') || value.size() < 3) return value;
  std::string out;
  for (size_t i = 2; i + 1 < value.size(); ++i) {
    if (value[i] != '\\' || i + 2 >= value.size()) {
      out += value[i];
      continue;
    }
    const char c = value[++i];
    switch (c) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'a':
        out += '\a';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'v':
        out += '\v';
        break;
      case 'x': {
        const std::string hex = value.substr(i + 1, 2);
        char* end = nullptr;
        const long byte = std::strtol(hex.c_str(), &end, 16);
        if (end == hex.c_str()) {
          out += 'x';
          break;
        }
        out += static_cast<char>(byte);
        i += static_cast<size_t>(end - hex.c_str());
        break;
      }
      default:
        if (c >= '0' && c <= '7') {
          int byte = c - '0';
          for (int n = 0; n < 2 && i + 2 < value.size() && value[i + 1] >= '0' && value[i + 1] <= '7'; ++n)
            byte = byte * 8 + (value[++i] - '0');
          out += static_cast<char>(byte);
        } else {
          out += c;  // \\ \' \"
        }
    }
  }
  return out;
}

}  // namespace

bool isSessionVariable(const std::string& name) {
  static const char* const kNames[] = {"DISPLAY",
                                       "WAYLAND_DISPLAY",
                                       "XAUTHORITY",
                                       "DBUS_SESSION_BUS_ADDRESS",
                                       "XDG_SESSION_TYPE",
                                       "XDG_SESSION_CLASS",
                                       "XDG_SESSION_DESKTOP",
                                       "XDG_SESSION_ID",
                                       "XDG_CURRENT_DESKTOP",
                                       "XDG_SEAT",
                                       "XDG_VTNR",
                                       "DESKTOP_SESSION",
                                       "LANG",
                                       "LANGUAGE",
                                       "TZ"};
  if (name.starts_with("LC_")) return true;
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

SessionEnvironment sessionOf(char* const* env) {
  SessionEnvironment session;
  for (char* const* e = env; e != nullptr && *e != nullptr; ++e) {
    const std::string entry = *e;
    const auto equals = entry.find('=');
    // An empty DISPLAY names no display: it is left out like an unset one.
    if (equals != std::string::npos && equals + 1 < entry.size() && isSessionVariable(entry.substr(0, equals)))
      session[entry.substr(0, equals)] = entry.substr(equals + 1);
  }
  return session;
}

bool hasDisplay(const SessionEnvironment& session) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const auto found = session.find(name);
    if (found != session.end() && !found->second.empty()) return true;
  }
  return false;
}

std::vector<std::string> environmentWithSession(char* const* base, const SessionEnvironment& session) {
  std::vector<std::string> env;
  for (char* const* e = base; e != nullptr && *e != nullptr; ++e) {
    const std::string_view entry = *e;
    if (!isSessionVariable(std::string(entry.substr(0, entry.find('='))))) env.emplace_back(entry);
  }
  for (const auto& [name, value] : session) env.push_back(name + "=" + value);
  return env;
}

SessionEnvironment parseShowEnvironment(const std::string& text) {
  SessionEnvironment session;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = line.substr(0, equals);
    if (isSessionVariable(name)) session[name] = unquote(line.substr(equals + 1));
  }
  return session;
}

SessionEnvironment systemdSession() {
  return parseShowEnvironment(outputOf({"systemctl", "--user", "show-environment"}));
}

}  // namespace tarvo::host
