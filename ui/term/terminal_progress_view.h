// The progress dialog on a terminal: caption, task and detail lines and a
// bar. On a terminal the block is redrawn in place; on other output it is
// written as plain lines, only when a text changes. Signals (Ctrl-C) are the
// host's: they reach the dialog as the host's Cancel, whatever the view.
#pragma once

#include <cstdint>
#include <string>

#include "ui/progress/progress_view.h"

namespace tarvo::term {

class TerminalProgressView final : public ProgressView {
 public:
  enum class Mode { kInPlace, kLines };

  // Writes to `fd`, which stays open and belongs to the caller.
  TerminalProgressView(int fd, Mode mode);

  void ShowCaption(const std::string& caption) override;
  void ShowTexts(const std::string& task, const std::string& status) override;
  void ShowPosition(int32_t percent) override;
  bool PollCancel() override;
  void Close() override;

 private:
  void Draw();
  void Write(const std::string& text);
  int Columns() const;

  int m_fd;
  Mode m_mode;
  std::string m_task;
  std::string m_status;
  int32_t m_percent = 0;
  bool m_drawn = false;  // the block is on screen (in place)
  bool m_closed = false;
  bool m_saidFull = false;  // the 100 % line (plain lines)
};

}  // namespace tarvo::term
