#include "ui/term/terminal_progress_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "ui/term/progress_render.h"

namespace tarvo::term {

TerminalProgressView::TerminalProgressView(int fd, Mode mode) : m_fd(fd), m_mode(mode) {}

void TerminalProgressView::ShowCaption(const std::string& caption) {
  if (m_closed) return;
  if (m_mode == Mode::kInPlace && m_drawn) {
    // The caption sits above the block; it is set once, before the block shows.
    return;
  }
  Write(caption + '\n');
}

void TerminalProgressView::ShowTexts(const std::string& task, const std::string& status) {
  if (m_closed) return;
  const bool taskChanged = task != m_task;
  const bool statusChanged = status != m_status;
  m_task = task;
  m_status = status;
  if (m_mode == Mode::kLines) {
    if (taskChanged && !task.empty()) Write(RenderPlainLine(m_percent, task));
    if (statusChanged && !status.empty()) Write(RenderPlainLine(m_percent, "  " + status));
    return;
  }
  if (taskChanged || statusChanged || !m_drawn) Draw();
}

void TerminalProgressView::ShowPosition(int32_t percent) {
  if (m_closed || percent == m_percent) return;
  m_percent = percent;
  if (m_mode == Mode::kInPlace) Draw();
  // Lines follow the texts, and the end has no new text: a full bar is
  // said once, so that a log read later shows the HotSync got there.
  if (m_mode == Mode::kLines && percent >= 100 && !m_saidFull) {
    m_saidFull = true;
    Write(RenderPlainLine(percent, m_task));
  }
}

bool TerminalProgressView::PollCancel() { return false; }

void TerminalProgressView::Close() {
  if (m_closed) return;
  m_closed = true;
  // A closed window leaves nothing behind: erase the caption and the block.
  if (m_mode == Mode::kInPlace && m_drawn) Write("\x1b[4A\r\x1b[J");
}

void TerminalProgressView::Draw() {
  Write(RenderBlock(m_task, m_status, m_percent, Columns(), m_drawn));
  m_drawn = true;
}

void TerminalProgressView::Write(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // output gone: the sync goes on without it
    done += static_cast<size_t>(n);
  }
}

int TerminalProgressView::Columns() const {
  winsize size{};
  if (ioctl(m_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* env = std::getenv("COLUMNS")) {
    const int columns = std::atoi(env);
    if (columns > 0) return columns;
  }
  return 80;
}

}  // namespace tarvo::term
