// The connection settings of manager.conf as the Setup window edits them:
// USB on or off, the serial ports watched, network HotSync off, on this
// machine only or on the local network, the backup on or off. The file is
// read and written by the manager's own code (host/manager_config.h); this
// is its conversion to Qt types. Writing keeps every other line of the file
// (comments, handheld-wait) as it was.
#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace tarvo::desktop {

enum class NetworkReach { Off, ThisMachine, LocalNetwork };

struct ConnectionSetup {
  bool usb = true;
  QStringList serialPorts;             // tty paths
  std::map<QString, int> serialRates;  // a port's speed cap; none: the handheld's fastest
  NetworkReach network = NetworkReach::Off;
  QString networkAddress;  // the file's ADDR[:PORT] when not the reach's default: kept while the reach is
  bool backup = true;
};

struct SerialPort {
  QString path;         // /dev/ttyUSB0
  QString description;  // the /dev/serial/by-id name, when there is one
  QString problem;      // why it cannot be opened, with the remedy; empty when it can
};

QString managerConfigPath();
// A missing file gives the defaults. False with *error when it cannot be read.
bool readSetup(const QString& file, ConnectionSetup* setup, QString* error);
// Replaces the file in one step. False with *error.
bool writeSetup(const QString& file, const ConnectionSetup& setup, QString* error);

// The serial ports present under `dev`: the ttys of USB serial adapters and
// modems, the built-in ones that exist, and the named links of by-id.
std::vector<SerialPort> serialPorts(const QString& dev = QStringLiteral("/dev"));

// The speeds a serial port may be capped at, slowest first.
QList<int> serialSpeeds();

}  // namespace tarvo::desktop
