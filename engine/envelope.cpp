// The envelope reader: command elements of a server's answer, the command
// word and the attribute reader. Servers have been written against these
// exact rules, quirks included, so they are kept as they are.
#include <algorithm>

#include "engine/engine_text.h"
#include "engine/envelope.h"
#include "engine/tarvo_conduit.h"

using tarvo::engine::AsciiLower;

void tarvo::engine::ReadEnvelopeCommands(std::string_view page, std::deque<std::string>& commands) {
  // The page is text: a zero byte ends it.
  page = page.substr(0, page.find('\0'));

  static constexpr std::string_view kOpen = "<tarvoconduit>";
  static constexpr std::string_view kClose = "</tarvoconduit>";
  const std::size_t open = page.find(kOpen);
  if (open == std::string_view::npos) return;
  std::size_t end = page.find(kClose, open);
  if (end == std::string_view::npos) end = page.size();

  // Every search starts where the previous one ended, so the page is read
  // once whatever its size. The search for "/>" is not bounded by the
  // closing tag: an element that straddles it is still taken whole.
  std::size_t lt = page.find('<', open + kOpen.size());
  while (lt != std::string_view::npos && lt < end) {
    const std::size_t start = lt + 1;
    const std::size_t close = page.find("/>", start);
    if (close == std::string_view::npos || start >= end) break;
    commands.emplace_back(page.substr(start, close - start));
    lt = page.find('<', close);
  }
}

std::string CTarvoConduit::GetCommandId(const std::string& cmd) {
  return AsciiLower(std::string_view(cmd).substr(0, cmd.find(' ')));
}

std::string CTarvoConduit::GetAttribute(const std::string& cmd, const std::string& name,
                                        const std::string& defaultValue) {
  // name="  matched without regard to case, anywhere in the text: the
  // pattern for id also matches the tail of xid, the first one wins.
  const std::string pattern = AsciiLower(name) + "=\"";
  const auto found = std::search(cmd.begin(), cmd.end(), pattern.begin(), pattern.end(),
                                 [](char a, char b) { return AsciiLower(a) == b; });
  if (found == cmd.end()) return defaultValue;
  const std::size_t start = static_cast<std::size_t>(found - cmd.begin()) + pattern.size();
  const std::size_t quote = cmd.find('"', start);
  if (quote == std::string::npos) return {};
  return cmd.substr(start, quote - start);
}
