// Draws the desktop's status window, its menu, the HotSync log, the
// HotSync window and the other windows from the real widgets into PNG files, for the documentation.
// The log and the queue are real: two HotSyncs of a copy of the example
// handheld (the second with a conduit that fails) and two queued files.
//
//   tarvo-desktop-pictures FOLDER EXAMPLE_HANDHELD FAILING_CONDUIT CONDUIT
#include <stdlib.h>

#include <QApplication>
#include <QJsonDocument>
#include <QMenu>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>

#include "desktop/conduits_window.h"
#include "desktop/host_command.h"
#include "desktop/hotsync_window.h"
#include "desktop/install_window.h"
#include "desktop/log_window.h"
#include "desktop/manager_watch.h"
#include "desktop/setup_window.h"
#include "desktop/status_icon.h"
#include "desktop/users_window.h"

namespace {

namespace fs = std::filesystem;
using namespace tarvo::desktop;

bool save(QWidget& window, const fs::path& file) {
  window.show();
  QApplication::processEvents();
  if (window.grab().save(QString::fromStdString(file.string()))) return true;
  std::fprintf(stderr, "tarvo-desktop-pictures: cannot write %s\n", file.c_str());
  return false;
}

// A manager that is not there: Setup's Save says so.
class NoManager : public ManagerClient {
 public:
  void start() override {}
  void request(const QString&, Reply done, const QJsonObject& = {}) override {
    done(QJsonObject{{"error", "no-manager"}});
  }
};

const char* kState = R"({"manager":{"pid":1},"ports":[{"port":"usb:","link":"usb","condition":"waiting"},
  {"port":"/dev/ttyS0","link":"serial","condition":"unavailable","reason":"/dev/ttyS0: Permission denied"}],
  "hotsync":{"id":7,"port":"usb:","link":"usb","user":"Ana Souza","conduit":{"creator":"Tarv","name":"Tarvo Sync"},
  "percent":42},"queue":[],"last":{"id":6,"user":"Ana Souza","ended":"2026-12-08T18:02:11Z","status":0,"result":"ok"}})";

// One HotSync in its conduit, as the manager's events tell it.
const char* const kHotSync[] = {
    R"({"event":"started","hotsync":{"id":7,"port":"usb:","link":"usb","percent":0}})",
    R"({"event":"user","hotsync":7,"user":"Ana Souza"})",
    R"({"event":"installing","hotsync":7,"files":2})",
    R"({"event":"install","hotsync":7,"file":"Memo.prc","ok":true,"words":"installed"})",
    R"({"event":"install","hotsync":7,"file":"Notes.pdb","ok":true,"words":"installed"})",
    R"({"event":"conduit-started","hotsync":7,"conduit":{"creator":"Tarv","name":"Tarvo Sync"}})",
    R"({"event":"progress","hotsync":7,"percent":42,"words":"Downloading news"})",
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: tarvo-desktop-pictures FOLDER EXAMPLE_HANDHELD FAILING_CONDUIT CONDUIT\n", stderr);
    return 1;
  }
  const fs::path out = argv[1];
  char pattern[] = "/tmp/tarvo-desktop-pictures-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const fs::path world = pattern;
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
    setenv(name, (world / name).c_str(), 1);
  const fs::path handheld = world / "handheld";
  fs::copy(argv[2], handheld, fs::copy_options::recursive);
  QApplication app(argc, argv);

  const QStringList sync{"sync",      "--no-gui", "--offline", "--handheld", QString::fromStdString(handheld.string()),
                         "--conduit", argv[3]};
  runHost(sync);
  setenv("TARVO_STUB_RESULT", "-1", 1);
  runHost(sync);
  unsetenv("TARVO_STUB_RESULT");

  bool ok = true;
  StatusIcon icon(false);
  icon.show(
      describeStatus(&static_cast<const ManagerState&>(parseState(QJsonDocument::fromJson(kState).object())), true));
  ok = save(*icon.window(), out / "desktop-status.png") && ok;
  ok = save(*icon.menu(), out / "desktop-menu.png") && ok;

  LogWindow log;
  ok = save(log, out / "desktop-log.png") && ok;

  std::FILE* notes = std::fopen((world / "notes.txt").c_str(), "w");
  if (notes) {
    std::fputs("Shopping: bread, coffee\n", notes);
    std::fclose(notes);
  }
  InstallWindow install;
  install.setUser("Demo User");
  install.addFiles({QString::fromStdString((handheld / "card0/Tarvo.prc").string()),
                    QString::fromStdString((handheld / "card0/Tarvo_News.pdb").string()),
                    QString::fromStdString((world / "notes.txt").string())});
  ok = save(install, out / "desktop-install.png") && ok;

  NoManager manager;
  SetupWindow setup(manager);
  ok = save(setup, out / "desktop-setup.png") && ok;

  runHost({"register", argv[4]});
  ConduitsWindow conduits;
  ok = save(conduits, out / "desktop-conduits.png") && ok;

  ManagerWatch watch;
  UsersWindow users(watch);
  ok = save(users, out / "desktop-users.png") && ok;

  HotSyncWindow hotsync;
  for (const char* event : kHotSync) hotsync.take(QJsonDocument::fromJson(event).object());
  ok = save(hotsync, out / "desktop-hotsync.png") && ok;

  fs::remove_all(world);
  return ok ? 0 : 1;
}
