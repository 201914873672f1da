#include "ui/static_link.h"

#include <utility>

CStaticLink::CStaticLink() { SetLinkCursor(0); }

CStaticLink::CStaticLink(std::string text) : m_text(std::move(text)) { SetLinkCursor(0); }

void CStaticLink::SetLinkCursor(int id) {
  m_cursor = id == tarvo::ui::kHandCursorId ? LinkCursor::kHand : LinkCursor::kArrow;
}

void CStaticLink::Click(const Opener& open) {
  m_visited = true;
  if (open) open(m_url);
}
