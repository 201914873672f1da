// tarvo-hotsync-manager-ui: the HotSync manager's status icon, notifications
// and windows on the desktop.
#include <QApplication>
#include <cstdio>

#include "cli/arguments.h"
#include "desktop/app_icon.h"
#include "desktop/autostart.h"
#include "desktop/desktop_app.h"
#include "desktop/install_window.h"
#include "desktop/translations.h"

namespace {

constexpr const char* kProgram = "tarvo-hotsync-manager-ui";
constexpr const char* kHelp =
    "usage: tarvo-hotsync-manager-ui [--window] [--verbose] [FILE...]\n"
    "\n"
    "Shows the resident HotSync manager in the desktop's status area: its\n"
    "state in words, a notification at the end of each HotSync, and a menu\n"
    "for the HotSync log, installs, users and backups, setup and conduits.\n"
    "Start the manager itself with `tarvo-hotsync manager` (the user unit\n"
    "does at log-in).\n"
    "\n"
    "  --window   a small window instead of the status area icon\n"
    "  --verbose  each change of the status, and each notification sent, as a\n"
    "             line on standard output (\"status: ...\", \"notified: ...\")\n"
    "  FILE       Palm databases (.prc, .pdb, .pqa) to install\n";

constexpr tarvo::cli::Option kOptions[] = {{"window"}, {"verbose"}, {"version"}};

}  // namespace

int main(int argc, char** argv) {
  tarvo::cli::Args args;
  std::string error;
  if (!tarvo::cli::parse(argc, argv, 1, kOptions, &args, &error)) {
    tarvo::cli::reportUsage(kProgram, error);
    return 2;
  }
  if (args.has("help")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (args.has("version")) {
    std::printf("%s %s\n", kProgram, TARVO_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tarvo-hotsync-manager"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tarvo HotSync Manager"));
  QApplication::setApplicationVersion(QStringLiteral(TARVO_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("tarvo-hotsync-manager"));
  QApplication::setWindowIcon(tarvo::desktop::appIcon());
  tarvo::desktop::useTranslation(QLocale());
  // Closing a window leaves the icon running.
  QApplication::setQuitOnLastWindowClosed(false);

  // Files to install (a double click in a file manager): the Install window
  // alone, whether or not the status icon already runs.
  if (!args.positional.empty()) {
    QStringList files;
    for (const std::string& file : args.positional) files << QString::fromLocal8Bit(file.c_str());
    tarvo::desktop::InstallWindow window;
    window.setAttribute(Qt::WA_QuitOnClose);
    QApplication::setQuitOnLastWindowClosed(true);
    window.show();
    window.addFiles(files);
    return QApplication::exec();
  }

  tarvo::desktop::AppOptions options;
  options.tray = !args.has("window");
  options.verbose = args.has("verbose");
  tarvo::desktop::startAtLoginUnlessChosen(QApplication::applicationFilePath());
  tarvo::desktop::DesktopApp desktop(std::make_unique<tarvo::desktop::SocketManagerClient>(), options);
  // Without a status area the small window is the program: closing it ends it.
  if (!desktop.icon().inTray()) QApplication::setQuitOnLastWindowClosed(true);
  desktop.start();
  return QApplication::exec();
}
