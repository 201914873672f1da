#include "desktop/conduit_list.h"

#include <QRegularExpression>
#include <QStringList>
#include <map>

#include "desktop/host_command.h"

namespace tarvo::desktop {

std::vector<ConduitRow> parseConduits(const QString& listing) {
  // "Tarv" then "  name       Tarvo Sync" lines; then the order:
  // "  1. Tarv  priority 2, always  /path" and "     next HotSync: ...".
  static const QRegularExpression kCreator(QStringLiteral("^(\\S{4})$"));
  static const QRegularExpression kValue(QStringLiteral("^  (\\S+)\\s+(.*)$"));
  static const QRegularExpression kOrder(QStringLiteral("^  \\d+\\. (\\S{4})  priority (\\d+)(, always)?"));
  static const QRegularExpression kNext(QStringLiteral("^     next HotSync: (.*)$"));
  std::map<QString, QString> names;
  std::vector<ConduitRow> rows;
  QString creator;
  bool inOrder = false;
  for (const QString& line : listing.split(QLatin1Char('\n'))) {
    if (line == QLatin1String("HotSync order:")) {
      inOrder = true;
      continue;
    }
    if (!inOrder) {
      if (const auto m = kCreator.match(line); m.hasMatch()) creator = m.captured(1);
      if (const auto m = kValue.match(line); m.hasMatch() && m.captured(1) == QLatin1String("name"))
        names[creator] = m.captured(2);
      continue;
    }
    if (const auto m = kOrder.match(line); m.hasMatch()) {
      ConduitRow row;
      row.creator = m.captured(1);
      row.name = names.count(row.creator) ? names[row.creator] : row.creator;
      row.priority = m.captured(2).toInt();
      row.always = m.hasCaptured(3);
      rows.push_back(row);
    } else if (const auto n = kNext.match(line); n.hasMatch() && !rows.empty()) {
      rows.back().next = n.captured(1);
      rows.back().off = rows.back().next.startsWith(QLatin1String("turned off"));
    }
  }
  return rows;
}

std::vector<ConduitRow> conduits(QString* error) {
  const HostResult result = runHost({QStringLiteral("conduits")});
  if (!result.ran || result.status != 0) {
    if (error) *error = result.error;
    return {};
  }
  return parseConduits(QString::fromUtf8(result.out));
}

bool setConduitOn(const QString& creator, bool on, QString* error) {
  const HostResult result =
      runHost({QStringLiteral("conduits"), on ? QStringLiteral("--enable") : QStringLiteral("--disable"), creator});
  if (result.ran && result.status == 0) return true;
  if (error) *error = result.error;
  return false;
}

}  // namespace tarvo::desktop
