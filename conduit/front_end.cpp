#include "conduit/front_end.h"

#include <unistd.h>

#include <QTimer>
#include <cstdlib>
#include <string_view>

#include "engine/shell_open.h"
#include "handheld/host_cancel.h"
#include "handheld/host_report.h"
#include "ui/login_dialog_model.h"
#include "ui/login_front_end.h"
#include "ui/progress/progress_view.h"
#include "ui/qt/config_windows.h"
#include "ui/qt/login_window.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/qt_application.h"
#include "ui/term/config_terminal.h"
#include "ui/term/login_terminal.h"
#include "ui/term/terminal_progress_view.h"

namespace {

bool EnvFlag(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::string_view(value) != "" && std::string_view(value) != "0";
}

// Windows when a display is present and nobody asked for none.
bool WantsWindows() { return !EnvFlag("TARVO_NO_GUI") && tarvo::qt::DisplayAvailable(); }

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
  // No terminal (cron, a pipe, a service's journal): plain lines.
  return std::make_unique<TerminalProgressView>(STDERR_FILENO, TerminalProgressView::Mode::kLines);
}

// Nobody to ask: the dialog ends as Cancel, which the conduit logs as its
// own failure; the host is told, so it can say why.
class NobodyToAsk final : public LoginFrontEnd {
 public:
  void Run(LoginDialogModel& model) override {
    HostReportLoginNotAsked();
    model.OnCancel();
  }
};

std::unique_ptr<LoginFrontEnd> TerminalLogin() {
  if (!EnvFlag("TARVO_NO_TTY")) {
    if (std::unique_ptr<LoginFrontEnd> terminal = tarvo::term::OpenTerminalLoginFrontEnd()) return terminal;
  }
  return std::make_unique<NobodyToAsk>();
}

// A login window that the host's Cancel (a signal) closes as Cancel; the
// progress dialog sees the same request at its next yield, so the HotSync
// ends too. The progress window needs nothing of the kind: its dialog looks
// at the host's Cancel whatever the view.
class QtLoginWithHostCancel final : public LoginFrontEnd {
 public:
  void Run(LoginDialogModel& model) override {
    tarvo::qt::LoginWindow window(model);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &window, [&] {
      if (HostCancelRequested()) window.reject();
    });
    watch.start(100);
    window.exec();
  }
};

}  // namespace

FrontEndScope::FrontEndScope() {
  if (WantsWindows()) {
    m_app = std::make_unique<tarvo::qt::ApplicationScope>();
    if (!m_app->ok()) m_app.reset();
  }
  if (m_app) {
    SetProgressViewFactory([] { return std::make_unique<tarvo::qt::QtProgressView>(); });
    SetLoginFrontEndFactory([] { return std::make_unique<QtLoginWithHostCancel>(); });
  } else {
    SetProgressViewFactory(TerminalProgress);
    SetLoginFrontEndFactory(TerminalLogin);
  }
}

FrontEndScope::~FrontEndScope() {
  SetProgressViewFactory({});
  SetLoginFrontEndFactory({});
}

namespace tarvo::conduit {

std::unique_ptr<ConfigFrontEnd> ChooseConfigFrontEnd() {
  if (WantsWindows())
    return std::make_unique<tarvo::qt::QtConfigFrontEnd>([](const std::string& url) {
      // Only web addresses: a page never opens a local file.
      if (tarvo::engine::IsWebAddress(url)) tarvo::engine::ShellOpen(url);
    });
  if (!EnvFlag("TARVO_NO_TTY")) {
    if (std::unique_ptr<ConfigFrontEnd> terminal = tarvo::term::OpenTerminalConfigFrontEnd()) return terminal;
  }
  HostReportNothingShown();
  return std::make_unique<UnattendedConfigFrontEnd>();
}

}  // namespace tarvo::conduit
