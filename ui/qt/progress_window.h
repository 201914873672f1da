// The progress dialog as a Qt window: task line, detail line, bar and
// Cancelar, placed as the template places them. It has no close box;
// Cancelar, Escape or a close request only record a Cancel press, and the
// window stays until the dialog goes away.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/progress/progress_view.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tarvo::qt {

class ProgressWindow final : public QDialog {
  Q_OBJECT

 public:
  ProgressWindow();

  QLabel* task() const { return m_task; }
  QLabel* status() const { return m_status; }
  QProgressBar* bar() const { return m_bar; }
  QPushButton* cancelButton() const { return m_cancel; }
  // True once per Cancel press since the last call.
  bool TakeCancel();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* m_task;
  QLabel* m_status;
  QProgressBar* m_bar;
  QPushButton* m_cancel;
  bool m_pressed = false;
};

// The dialog's view: everything runs on the HotSync thread, which owns the
// application object; PollCancel is where the window gets its events.
class QtProgressView final : public ProgressView {
 public:
  QtProgressView();
  ~QtProgressView() override;

  void ShowCaption(const std::string& caption) override;
  void ShowTexts(const std::string& task, const std::string& status) override;
  void ShowPosition(int32_t percent) override;
  bool PollCancel() override;
  void Close() override;
  bool AskProxyCredentials(ProxyCredentials& credentials) override;

  ProgressWindow* window() const { return m_window.get(); }

 private:
  std::unique_ptr<ProgressWindow> m_window;
};

}  // namespace tarvo::qt
