// Draws each window of the conduit from its real widgets into PNG files, for
// the documentation: tarvo-window-pictures OUTPUT_DIR (scripts/screenshots
// runs it under Xvfb).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

#include "ui/login_dialogs.h"
#include "ui/progress/conduit_progress.h"
#include "ui/qt/login_window.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/proxy_prompt_window.h"

namespace {

bool Save(QWidget& window, const QDir& dir, const char* name) {
  window.show();
  QTest::qWait(50);  // let the window map and paint
  const QString file = dir.filePath(QString::fromLatin1(name));
  if (!window.grab().save(file)) {
    std::fprintf(stderr, "tarvo-window-pictures: cannot write %s\n", file.toLocal8Bit().constData());
    return false;
  }
  std::printf("%s\n", file.toLocal8Bit().constData());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fputs("usage: tarvo-window-pictures OUTPUT_DIR\n", stderr);
    return 1;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  bool ok = true;

  tarvo::qt::ProgressWindow* progressWindow = nullptr;
  SetProgressViewFactory([&] {
    auto view = std::make_unique<tarvo::qt::QtProgressView>();
    progressWindow = view->window();
    return view;
  });
  CConduitProgress progress;
  progress.m_task = "Transferindo Tarvo News";
  progress.m_status = "Tarvo News";
  progress.Refresh();
  progress.m_rangemin = 20;
  progress.m_rangemax = 46;
  progress.SetStep(1, 2);
  ok &= Save(*progressWindow, dir, "progress.png");

  CLoginDialog standard;
  standard.m_countdown = 60;
  standard.m_captionSuffix = "Tarvo";
  standard.OnInitDialog();
  standard.OnTimer();
  tarvo::qt::LoginWindow standardWindow(standard);
  ok &= Save(standardWindow, dir, "login.png");

  CLoginDlgCorp corporate;
  corporate.m_countdown = 30;
  corporate.m_title = "Login";
  corporate.m_server = "sync.example.com";
  corporate.OnInitDialog();
  tarvo::qt::LoginWindow corporateWindow(corporate);
  QTest::keyClicks(corporateWindow.login(), "ana");
  ok &= Save(corporateWindow, dir, "login-corp.png");

  ProxyCredentials credentials;
  credentials.proxy = "proxy.example.com:3128";
  credentials.user = "ana";
  tarvo::qt::ProxyPromptWindow proxy(credentials, nullptr);
  ok &= Save(proxy, dir, "proxy-prompt.png");

  SetProgressViewFactory({});
  return ok ? 0 : 1;
}
