#include "host/manager_words.h"

#include <ctime>

namespace tarvo::host {
namespace {

using nlohmann::json;

std::string text(const json& object, const char* name) {
  const auto found = object.find(name);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

long long number(const json& object, const char* name, long long otherwise = -1) {
  const auto found = object.find(name);
  return found != object.end() && found->is_number_integer() ? found->get<long long>() : otherwise;
}

// "2026-12-08T18:02:11Z" in the local time zone: "2026-12-08 19:02".
std::string localTime(const std::string& utc) {
  tm parsed{};
  const char* end = ::strptime(utc.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parsed);
  if (end == nullptr || *end != '\0') return utc;
  const time_t seconds = ::timegm(&parsed);
  tm local{};
  ::localtime_r(&seconds, &local);
  char shown[32];
  std::strftime(shown, sizeof shown, "%Y-%m-%d %H:%M", &local);
  return shown;
}

std::string linkWords(const std::string& link) {
  if (link == "usb") return "USB";
  if (link == "network") return "the network";
  return link;  // serial, or not known yet
}

// "HotSync 7 of Ana Souza over USB", as far as it is known.
std::string hotSyncWords(const json& hotsync) {
  std::string words = "HotSync " + std::to_string(number(hotsync, "id", 0));
  if (const std::string user = text(hotsync, "user"); !user.empty()) words += " of " + user;
  if (const std::string link = text(hotsync, "link"); !link.empty())
    words += (link == "serial" ? " on " + text(hotsync, "port") : " over " + linkWords(link));
  if (text(hotsync, "origin") == "command") words += " (handed over by a command)";
  return words;
}

}  // namespace

std::string portsInWords(const json& ports) {
  std::string out;
  if (ports.empty()) out += "Watches no port: only HotSyncs handed over by tarvo-hotsync sync run\n";
  for (const json& port : ports) {
    const std::string condition = text(port, "condition");
    const std::string name = text(port, "port");
    if (condition == "waiting")
      out += "  waiting for a handheld on " + name;
    else if (condition == "busy")
      out += "  busy with HotSync " + std::to_string(number(port, "hotsync", 0)) + " on " + name;
    else if (condition == "unavailable")
      out += "  cannot use " + name + ": " + text(port, "reason") + "; trying again every few seconds";
    else
      out += "  " + name + ": " + condition;
    out += "\n";
    if (const std::string remedy = text(port, "remedy"); !remedy.empty() && condition == "unavailable")
      out += "    " + remedy + "\n";
  }
  return out;
}

std::string stateInWords(const json& state) {
  if (!state.is_object()) return "the HotSync manager sent no state\n";
  std::string out;
  const json manager = state.value("manager", json::object());
  out += "HotSync manager " + std::to_string(number(manager, "pid", 0));
  if (const std::string started = text(manager, "started"); !started.empty())
    out += ", running since " + localTime(started);
  if (manager.value("quitting", false)) out += ", quitting";
  out += "\n";

  out += portsInWords(state.value("ports", json::array()));

  if (const auto running = state.find("hotsync"); running != state.end() && running->is_object()) {
    out += "Now: " + hotSyncWords(*running);
    if (const long long percent = number(*running, "percent"); percent >= 0)
      out += ", " + std::to_string(percent) + "%";
    if (const std::string words = text(*running, "words"); !words.empty()) out += " (" + words + ")";
    if (const auto conduit = running->find("conduit"); conduit != running->end() && conduit->is_object())
      out += ", conduit " + text(*conduit, "name");
    out += "\n";
  } else {
    out += "Now: no HotSync\n";
  }
  const json queue = state.value("queue", json::array());
  for (const json& waiting : queue) out += "Waiting: " + hotSyncWords(waiting) + "\n";

  if (const auto last = state.find("last"); last != state.end() && last->is_object()) {
    out += "Last: " + hotSyncWords(*last);
    if (const std::string ended = text(*last, "ended"); !ended.empty()) out += ", ended " + localTime(ended);
    out += ": " + text(*last, "words") + "\n";
  }
  return out;
}

}  // namespace tarvo::host
