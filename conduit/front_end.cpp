#include "conduit/front_end.h"

#include <unistd.h>

#include <QTimer>
#include <cstdlib>
#include <string_view>

#include "ui/login_front_end.h"
#include "ui/progress/progress_view.h"
#include "ui/qt/login_window.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/qt_application.h"
#include "ui/term/interrupt_cancel.h"
#include "ui/term/login_terminal.h"
#include "ui/term/terminal_progress_view.h"

namespace {

bool EnvFlag(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::string_view(value) != "" && std::string_view(value) != "0";
}

std::unique_ptr<ProgressView> TerminalProgress() {
  const char* forced = std::getenv("TARVO_PROGRESS");
  const std::string_view choice = forced ? forced : "";
  using tarvo::term::TerminalProgressView;
  if (choice == "none") return std::make_unique<NullProgressView>();
  if (choice == "lines")
    return std::make_unique<TerminalProgressView>(STDERR_FILENO, TerminalProgressView::Mode::kLines);
  if (choice == "term" || isatty(STDERR_FILENO))
    return std::make_unique<TerminalProgressView>(STDERR_FILENO, TerminalProgressView::Mode::kInPlace);
  if (isatty(STDOUT_FILENO))
    return std::make_unique<TerminalProgressView>(STDOUT_FILENO, TerminalProgressView::Mode::kInPlace);
  return std::make_unique<NullProgressView>();
}

std::unique_ptr<LoginFrontEnd> TerminalLogin() {
  if (EnvFlag("TARVO_NO_TTY")) return nullptr;
  return tarvo::term::OpenTerminalLoginFrontEnd();
}

// The Qt window, with Ctrl-C (and the other signals that cancel) pressing
// its Cancel button.
class QtProgressWithSignals final : public ProgressView {
 public:
  void ShowCaption(const std::string& caption) override { m_window.ShowCaption(caption); }
  void ShowTexts(const std::string& task, const std::string& status) override { m_window.ShowTexts(task, status); }
  void ShowPosition(int32_t percent) override { m_window.ShowPosition(percent); }
  bool PollCancel() override { return m_window.PollCancel() | m_signals.TakePress(); }
  void Close() override { m_window.Close(); }
  bool AskProxyCredentials(ProxyCredentials& credentials) override {
    return m_window.AskProxyCredentials(credentials);
  }

 private:
  tarvo::qt::QtProgressView m_window;
  tarvo::term::InterruptCancel m_signals;
};

// A login window that a cancelling signal closes as Cancel; the press is
// passed on, so the progress dialog sees it too and the HotSync ends.
class QtLoginWithSignals final : public LoginFrontEnd {
 public:
  void Run(LoginDialogModel& model) override {
    tarvo::term::InterruptCancel interrupt;
    tarvo::qt::LoginWindow window(model);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &window, [&] {
      if (!interrupt.TakePress()) return;
      window.reject();
      tarvo::term::InterruptCancel::Press();
    });
    watch.start(100);
    window.exec();
  }
};

}  // namespace

FrontEndScope::FrontEndScope() {
  if (!EnvFlag("TARVO_NO_GUI") && tarvo::qt::DisplayAvailable()) {
    m_app = std::make_unique<tarvo::qt::ApplicationScope>();
    if (!m_app->ok()) m_app.reset();
  }
  if (m_app) {
    SetProgressViewFactory([] { return std::make_unique<QtProgressWithSignals>(); });
    SetLoginFrontEndFactory([] { return std::make_unique<QtLoginWithSignals>(); });
  } else {
    SetProgressViewFactory(TerminalProgress);
    SetLoginFrontEndFactory(TerminalLogin);
  }
}

FrontEndScope::~FrontEndScope() {
  SetProgressViewFactory({});
  SetLoginFrontEndFactory({});
}
