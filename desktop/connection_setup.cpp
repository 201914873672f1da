#include "desktop/connection_setup.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <map>

#include "hotsync/port.h"

namespace tarvo::desktop {
namespace {

class SetupWords {
  Q_DECLARE_TR_FUNCTIONS(Setup)
};

const QString kAllAddresses = QStringLiteral("0.0.0.0");

// "key = value" of a line, or nothing for a comment or blank line.
bool setting(const QString& line, QString* key, QString* value) {
  const QString trimmed = line.trimmed();
  if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) return false;
  const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
  if (equals < 0) return false;
  *key = trimmed.left(equals).trimmed();
  *value = trimmed.mid(equals + 1).trimmed();
  return true;
}

bool isOn(const QString& value) { return value == QLatin1String("on"); }

}  // namespace

QString managerConfigPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/tarvo-hotsync/manager.conf");
}

bool readSetup(const QString& file, ConnectionSetup* setup, QString* error) {
  *setup = ConnectionSetup();
  QFile in(file);
  if (!in.exists()) return true;
  if (!in.open(QIODevice::ReadOnly)) {
    if (error) *error = file + QStringLiteral(": ") + in.errorString();
    return false;
  }
  for (const QByteArray& raw : in.readAll().split('\n')) {
    QString key, value;
    if (!setting(QString::fromUtf8(raw), &key, &value)) continue;
    if (key == QLatin1String("usb")) {
      setup->usb = isOn(value);
    } else if (key == QLatin1String("backup")) {
      setup->backup = isOn(value);
    } else if (key == QLatin1String("network")) {
      setup->networkAddress.clear();
      if (value == QLatin1String("off")) {
        setup->network = NetworkReach::Off;
      } else if (value == QLatin1String("on") || value.startsWith(QLatin1String("127."))) {
        setup->network = NetworkReach::ThisMachine;
      } else {
        setup->network = NetworkReach::LocalNetwork;
        if (!value.startsWith(kAllAddresses)) setup->networkAddress = value;
      }
    } else if (key == QLatin1String("port")) {
      // "PATH SPEED" for a serial cradle capped at that speed.
      const QStringList words = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
      const QString port = words.value(0);
      if (port == QLatin1String("usb:")) {
        setup->usb = true;
      } else if (!port.startsWith(QLatin1String("net:")) && !port.isEmpty()) {
        setup->serialPorts << port;
        if (words.size() > 1) setup->serialRates[port] = words[1].toInt();
      }
    }
  }
  return true;
}

bool writeSetup(const QString& file, const ConnectionSetup& setup, QString* error) {
  QStringList lines;
  QFile in(file);
  if (in.open(QIODevice::ReadOnly)) {
    // Every line but the settings written below stays where it was.
    for (const QByteArray& raw : in.readAll().split('\n')) {
      const QString line = QString::fromUtf8(raw);
      QString key, value;
      if (setting(line, &key, &value) &&
          (key == QLatin1String("usb") || key == QLatin1String("network") || key == QLatin1String("backup") ||
           (key == QLatin1String("port") && !value.startsWith(QLatin1String("net:")))))
        continue;
      lines << line;
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
  }
  lines << QStringLiteral("usb = %1").arg(setup.usb ? QStringLiteral("on") : QStringLiteral("off"));
  for (const QString& port : setup.serialPorts) {
    const auto rate = setup.serialRates.find(port);
    lines << (rate == setup.serialRates.end() || rate->second <= 0
                  ? QStringLiteral("port = %1").arg(port)
                  : QStringLiteral("port = %1 %2").arg(port).arg(rate->second));
  }
  QString network = QStringLiteral("off");
  if (setup.network == NetworkReach::ThisMachine) network = QStringLiteral("on");
  if (setup.network == NetworkReach::LocalNetwork)
    network = setup.networkAddress.isEmpty() ? kAllAddresses : setup.networkAddress;
  lines << QStringLiteral("network = %1").arg(network);
  lines << QStringLiteral("backup = %1").arg(setup.backup ? QStringLiteral("on") : QStringLiteral("off"));

  QDir().mkpath(QFileInfo(file).absolutePath());
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly) || out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) < 0 ||
      !out.commit()) {
    if (error) *error = file + QStringLiteral(": ") + out.errorString();
    return false;
  }
  return true;
}

QList<int> serialSpeeds() {
  QList<int> speeds;
  for (const uint32_t speed : hotsync::serialSpeeds()) speeds << static_cast<int>(speed);
  return speeds;
}

std::vector<SerialPort> serialPorts(const QString& dev) {
  std::map<QString, SerialPort> found;  // by path, in name order
  const QDir devices(dev);
  for (const QString& name :
       devices.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("ttyS*")},
                         QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
    // The built-in ports exist as files whether or not a UART is behind
    // them; only the first few are worth offering.
    if (name.startsWith(QLatin1String("ttyS")) && name.mid(4).toInt() > 3) continue;
    found[devices.filePath(name)].path = devices.filePath(name);
  }
  const QDir byId(dev + QStringLiteral("/serial/by-id"));
  for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
    const QString target = QDir::cleanPath(link.symLinkTarget());
    SerialPort& port = found[target.isEmpty() ? link.absoluteFilePath() : target];
    if (port.path.isEmpty()) port.path = target.isEmpty() ? link.absoluteFilePath() : target;
    port.description = link.fileName();
  }
  std::vector<SerialPort> ports;
  for (auto& [path, port] : found) {
    if (::access(path.toLocal8Bit().constData(), R_OK | W_OK) != 0)
      port.problem = SetupWords::tr(
                         "%1: permission denied; add yourself to the dialout group "
                         "(sudo adduser $USER dialout) and log in again")
                         .arg(path);
    ports.push_back(port);
  }
  return ports;
}

}  // namespace tarvo::desktop
