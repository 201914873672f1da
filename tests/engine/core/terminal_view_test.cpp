#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "ui/term/terminal_progress_view.h"

namespace {

using tarvo::term::TerminalProgressView;

// Captures what a view writes, through a real pipe.
class PipeOutput {
 public:
  PipeOutput() {
    EXPECT_EQ(pipe(m_fds), 0);
    fcntl(m_fds[0], F_SETFL, O_NONBLOCK);
  }
  ~PipeOutput() {
    close(m_fds[0]);
    close(m_fds[1]);
  }
  int fd() const { return m_fds[1]; }
  std::string Take() {
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = read(m_fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    return out;
  }

 private:
  int m_fds[2];
};

TEST(TerminalViewTest, PlainLinesOnlyWhenATextChanges) {
  PipeOutput out;
  {
    TerminalProgressView view(out.fd(), TerminalProgressView::Mode::kLines);
    view.ShowCaption("Tarvo Sync 4.7");
    view.ShowTexts("", "");
    view.ShowTexts("Verificando", "");
    view.ShowTexts("Verificando", "");
    view.ShowPosition(50);
    view.ShowPosition(60);
    view.ShowTexts("Verificando", "Tarvo News");
    // The end has no new text, yet the full bar is said, once.
    view.ShowPosition(100);
    view.ShowPosition(99);
    view.ShowPosition(100);
    view.Close();
    view.ShowTexts("after close", "");
  }
  EXPECT_EQ(out.Take(), "Tarvo Sync 4.7\n[  0%] Verificando\n[ 60%]   Tarvo News\n[100%] Verificando\n");
}

TEST(TerminalViewTest, InPlaceRedrawsOnChangeAndErasesOnClose) {
  PipeOutput out;
  TerminalProgressView view(out.fd(), TerminalProgressView::Mode::kInPlace);
  view.ShowCaption("Tarvo Sync 4.7");
  view.ShowTexts("a", "b");
  const std::string first = out.Take();
  EXPECT_EQ(first.rfind("Tarvo Sync 4.7\n", 0), 0u);
  EXPECT_EQ(first.find("\x1b[3A"), std::string::npos);  // nothing to move back over yet

  view.ShowTexts("a", "b");
  view.ShowPosition(0);
  EXPECT_EQ(out.Take(), "");  // nothing changed, nothing drawn

  view.ShowPosition(30);
  const std::string redraw = out.Take();
  EXPECT_EQ(redraw.rfind("\x1b[3A", 0), 0u);
  EXPECT_NE(redraw.find(" 30%"), std::string::npos);

  setenv("COLUMNS", "12", 1);  // a pipe has no size: the variable counts
  view.ShowTexts(
      "m\xC3\xB3"
      "dulos m\xC3\xB3"
      "dulos",
      "b");
  unsetenv("COLUMNS");
  EXPECT_NE(out.Take().find("\x1b[2Km\xC3\xB3"
                            "dulos m\xC3\xB3"
                            "d\n"),
            std::string::npos);  // 11 columns, cut between characters

  view.Close();
  EXPECT_EQ(out.Take(), "\x1b[4A\r\x1b[J");
  view.ShowPosition(90);
  EXPECT_EQ(out.Take(), "");
}

}  // namespace
