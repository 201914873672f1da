// The process's Qt application object as the conduit sees it: a host that
// runs Qt lends its own; otherwise the conduit makes one for as long as it
// shows windows, on the thread that shows them.
#pragma once

#include <memory>

class QApplication;

namespace tarvo::qt {

// True when a Qt window can show: a widgets application already exists, or
// a display is named (DISPLAY, WAYLAND_DISPLAY, or an explicit
// QT_QPA_PLATFORM) and, for a local X display, its socket exists.
bool DisplayAvailable();

class ApplicationScope {
 public:
  // Borrows the existing QApplication or makes one. Call on the thread that
  // will own the windows, and only when DisplayAvailable().
  ApplicationScope();
  // Deletes the application only when this scope made it.
  ~ApplicationScope();
  ApplicationScope(const ApplicationScope&) = delete;
  ApplicationScope& operator=(const ApplicationScope&) = delete;

  // False when a non-widgets application (QCoreApplication) is already there:
  // no window can be made then.
  bool ok() const { return m_ok; }
  bool owned() const { return m_own != nullptr; }

 private:
  std::unique_ptr<QApplication> m_own;
  bool m_ok = false;
};

}  // namespace tarvo::qt
