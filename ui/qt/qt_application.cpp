#include "ui/qt/qt_application.h"

#include <sys/stat.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "ui/qt/product_icon.h"

namespace tarvo::qt {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// ":N" or ":N.S" names a local X server, whose socket must exist; a stale
// DISPLAY (a closed session, ssh without forwarding) would otherwise abort
// the process inside Qt. Remote displays are trusted.
bool LocalDisplayReachable(const std::string& display) {
  if (display.empty() || display[0] != ':') return true;
  const std::string number = display.substr(1, display.find('.') - 1);
  struct stat info {};
  return stat(("/tmp/.X11-unix/X" + number).c_str(), &info) == 0;
}

}  // namespace

bool DisplayAvailable() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) return true;
  if (Set("QT_QPA_PLATFORM") || Set("WAYLAND_DISPLAY")) return true;
  return Set("DISPLAY") && LocalDisplayReachable(std::getenv("DISPLAY"));
}

ApplicationScope::ApplicationScope() {
  if (QCoreApplication::instance() != nullptr) {
    m_ok = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    return;
  }
  // Qt keeps argc and argv for the application's whole life.
  static int argc = 1;
  static char name[] = "tarvo-sync";
  static char* argv[] = {name, nullptr};
  m_own = std::make_unique<QApplication>(argc, argv);
  // A conduit's windows come and go inside the host: closing the last one
  // must not end anything.
  m_own->setQuitOnLastWindowClosed(false);
  m_own->setWindowIcon(ProductIcon());
  m_ok = true;
}

ApplicationScope::~ApplicationScope() = default;

}  // namespace tarvo::qt
