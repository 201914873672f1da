#include "ui/term/progress_render.h"

#include <algorithm>
#include <cstdio>

namespace tarvo::term {

std::string RenderBar(int32_t percent, int width) {
  percent = std::clamp<int32_t>(percent, 0, 100);
  width = std::max(width, 1);
  const int filled = static_cast<int>(static_cast<int64_t>(width) * percent / 100);
  std::string bar = "[";
  bar.append(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(width - filled), '.');
  char tail[8];
  std::snprintf(tail, sizeof tail, "] %3d%%", static_cast<int>(percent));
  return bar + tail;
}

std::string FitColumns(std::string_view utf8, int columns) {
  if (columns <= 0) return std::string();
  size_t end = 0;
  int count = 0;
  while (end < utf8.size()) {
    // A lead byte starts a character; continuation bytes (10xxxxxx) do not.
    size_t next = end + 1;
    while (next < utf8.size() && (static_cast<unsigned char>(utf8[next]) & 0xC0) == 0x80) ++next;
    if (count == columns) break;
    ++count;
    end = next;
  }
  return std::string(utf8.substr(0, end));
}

std::string RenderBlock(std::string_view task, std::string_view status, int32_t percent, int columns, bool redraw) {
  const int usable = std::max(columns - 1, 10);  // the last column would wrap on some terminals
  std::string out;
  if (redraw) out += "\x1b[3A";
  const std::string lines[3] = {FitColumns(task, usable), FitColumns(status, usable),
                                RenderBar(percent, std::max(usable - 7, 3))};
  for (const std::string& line : lines) {
    out += "\r\x1b[2K";
    out += line;
    out += '\n';
  }
  return out;
}

std::string RenderPlainLine(int32_t percent, std::string_view text) {
  char head[16];
  std::snprintf(head, sizeof head, "[%3d%%] ", static_cast<int>(std::clamp<int32_t>(percent, 0, 100)));
  return head + std::string(text) + '\n';
}

}  // namespace tarvo::term
