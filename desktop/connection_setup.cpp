#include "desktop/connection_setup.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <filesystem>
#include <map>

#include "host/manager_config.h"
#include "hotsync/port.h"

namespace tarvo::desktop {
namespace {

class SetupWords {
  Q_DECLARE_TR_FUNCTIONS(Setup)
};

// The window's reach and the file's are the same three; the numbering need not be.
NetworkReach toWindow(host::NetworkReach reach) {
  return reach == host::NetworkReach::Off           ? NetworkReach::Off
         : reach == host::NetworkReach::ThisMachine ? NetworkReach::ThisMachine
                                                    : NetworkReach::LocalNetwork;
}

host::NetworkReach toFile(NetworkReach reach) {
  return reach == NetworkReach::Off           ? host::NetworkReach::Off
         : reach == NetworkReach::ThisMachine ? host::NetworkReach::ThisMachine
                                              : host::NetworkReach::LocalNetwork;
}

std::filesystem::path localPath(const QString& file) { return std::filesystem::path(file.toStdString()); }

}  // namespace

QString managerConfigPath() { return QString::fromStdString(host::managerConfigFile().string()); }

bool readSetup(const QString& file, ConnectionSetup* setup, QString* error) {
  *setup = ConnectionSetup();
  host::ManagerConnections read;
  std::string why;
  if (!host::readManagerConnections(localPath(file), &read, &why)) {
    if (error) *error = QString::fromStdString(why);
    return false;
  }
  setup->usb = read.usb;
  for (const std::string& port : read.serialPorts) setup->serialPorts << QString::fromStdString(port);
  for (const auto& [port, rate] : read.serialRates)
    setup->serialRates[QString::fromStdString(port)] = static_cast<int>(rate);
  setup->network = toWindow(read.network);
  setup->networkAddress = QString::fromStdString(read.networkAddress);
  setup->backup = read.backup;
  return true;
}

bool writeSetup(const QString& file, const ConnectionSetup& setup, QString* error) {
  host::ManagerConnections written;
  written.usb = setup.usb;
  for (const QString& port : setup.serialPorts) written.serialPorts.push_back(port.toStdString());
  for (const auto& [port, rate] : setup.serialRates)
    if (rate > 0) written.serialRates[port.toStdString()] = static_cast<uint32_t>(rate);
  written.network = toFile(setup.network);
  written.networkAddress = setup.networkAddress.toStdString();
  written.backup = setup.backup;
  std::string why;
  if (!host::writeManagerConnections(localPath(file), written, &why)) {
    if (error) *error = QString::fromStdString(why);
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
