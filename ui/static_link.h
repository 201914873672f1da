// A static text that behaves as a hyperlink. Only its state lives here;
// a front end draws it from these values and reports clicks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The cursors a link can show. Plain data: the front end maps them to its own.
enum class LinkCursor { kArrow, kHand };

// Colours as 0x00BBGGRR.
using LinkColour = uint32_t;

class CStaticLink {
 public:
  // What opening a link does (the desktop's browser). Its result is not checked.
  using Opener = std::function<void(const std::string& url)>;

  CStaticLink();
  explicit CStaticLink(std::string text);

  void SetLinkUrl(const std::string& url) { m_url = url; }
  // The library's cursor resource `id`; any id it does not hold gives the arrow.
  void SetLinkCursor(int id);

  // A click: the link counts as visited even when opening fails.
  void Click(const Opener& open);
  LinkColour TextColour() const { return m_visited ? m_visitedColor : m_linkColor; }

  int m_fontHeight = 14;
  bool m_visited = false;
  LinkColour m_visitedColor = 0x7F007F;  // purple
  LinkColour m_linkColor = 0xFF0000;     // blue
  std::string m_url;
  LinkCursor m_cursor = LinkCursor::kArrow;
  std::string m_text;  // the window text, UTF-8
};

namespace tarvo::ui {
// The library's cursor resource of the hand shown over links.
inline constexpr int kHandCursorId = 217;
}  // namespace tarvo::ui
