#include "desktop/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace tarvo::desktop {

QString autostartFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/autostart/tarvo-hotsync-manager.desktop");
}

bool startsAtLogin() {
  QFile file(autostartFile());
  if (!file.open(QIODevice::ReadOnly)) return false;
  while (!file.atEnd()) {
    const QByteArray line = file.readLine().trimmed();
    if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
  }
  return true;
}

bool setStartAtLogin(bool on, const QString& program, QString* error) {
  const QString path = autostartFile();
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) *error = path + QStringLiteral(": ") + file.errorString();
    return false;
  }
  QByteArray entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Tarvo HotSync Manager\n"
      "Comment=Shows the HotSync manager's status\n"
      "Icon=tarvo-hotsync-manager\n"
      "Exec=\"" +
      program.toUtf8() + "\"\n";
  entry += on ? "X-GNOME-Autostart-enabled=true\n" : "Hidden=true\n";
  file.write(entry);
  if (!file.commit()) {
    if (error) *error = path + QStringLiteral(": ") + file.errorString();
    return false;
  }
  return true;
}

void startAtLoginUnlessChosen(const QString& program) {
  if (!QFileInfo::exists(autostartFile())) setStartAtLogin(true, program, nullptr);
}

}  // namespace tarvo::desktop
