#include "desktop/conduit_list.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "desktop/host_command.h"

namespace tarvo::desktop {

std::vector<ConduitRow> parseConduits(const QByteArray& jsonLines) {
  std::vector<ConduitRow> rows;
  for (const QByteArray& line : jsonLines.split('\n')) {
    const QJsonObject row = QJsonDocument::fromJson(line).object();
    if (row.isEmpty()) continue;
    ConduitRow conduit;
    conduit.creator = row.value(QLatin1String("creator")).toString();
    conduit.name = row.value(QLatin1String("name")).toString(conduit.creator);
    conduit.priority = row.value(QLatin1String("priority")).toInt(2);
    conduit.always = row.value(QLatin1String("always")).toBool();
    conduit.off = row.value(QLatin1String("off")).toBool();
    conduit.next = row.value(QLatin1String("next")).toString();
    rows.push_back(conduit);
  }
  return rows;
}

std::vector<ConduitRow> conduits(QString* error) {
  const HostResult result = runHost({QStringLiteral("conduits"), QStringLiteral("--json")});
  if (!result.ran || result.status != 0) {
    if (error) *error = result.error;
    return {};
  }
  return parseConduits(result.out);
}

bool setConduitOn(const QString& creator, bool on, QString* error) {
  const HostResult result =
      runHost({QStringLiteral("conduits"), on ? QStringLiteral("--enable") : QStringLiteral("--disable"), creator});
  if (result.ran && result.status == 0) return true;
  if (error) *error = result.error;
  return false;
}

}  // namespace tarvo::desktop
