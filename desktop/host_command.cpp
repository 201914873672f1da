#include "desktop/host_command.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace tarvo::desktop {

QString hostProgram() {
  const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/tarvo-hotsync");
  return QFileInfo(beside).isExecutable() ? beside : QStringLiteral("tarvo-hotsync");
}

HostResult runHost(const QStringList& args) {
  HostResult result;
  QProcess process;
  process.setProgram(hostProgram());
  process.setArguments(args);
  process.setStandardInputFile(QProcess::nullDevice());
  process.start();
  if (!process.waitForStarted()) {
    result.error = hostProgram() + QStringLiteral(": ") + process.errorString();
    return result;
  }
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    result.error =
        QCoreApplication::translate("Host", "tarvo-hotsync %1 did not end within a minute").arg(args.value(0));
    return result;
  }
  result.out = process.readAllStandardOutput();
  result.error = QString::fromUtf8(process.readAllStandardError()).trimmed();
  result.ran = process.exitStatus() == QProcess::NormalExit;
  result.status = process.exitCode();
  return result;
}

void startHost(const QStringList& args) {
  QProcess process;
  process.setProgram(hostProgram());
  process.setArguments(args);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.startDetached();
}

}  // namespace tarvo::desktop
