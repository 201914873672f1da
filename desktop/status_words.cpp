#include "desktop/status_words.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

namespace tarvo::desktop {
namespace {

// The texts of this file, in the translation context "Status".
class StatusWords {
  Q_DECLARE_TR_FUNCTIONS(Status)
};

QString clock(const QDateTime& time) { return QLocale().toString(time.toLocalTime().time(), QLocale::ShortFormat); }

QString runningWords(const HotSyncState& running) {
  const QString over = portWords(running.port, running.link);
  QString line = running.user.isEmpty() ? StatusWords::tr("HotSync over %1").arg(over)
                                        : StatusWords::tr("HotSync of %1 over %2").arg(running.user, over);
  QString step = running.conduitName.isEmpty() ? running.words : running.conduitName;
  if (step.isEmpty()) step = StatusWords::tr("starting");
  return StatusWords::tr("%1: %2, %3%").arg(line, step).arg(running.percent);
}

}  // namespace

QString portWords(const QString& port, const QString& link) {
  if (link == QLatin1String("usb") || port == QLatin1String("usb:")) return StatusWords::tr("USB");
  if (link == QLatin1String("network") || port.startsWith(QLatin1String("net:"))) return StatusWords::tr("the network");
  if (!port.isEmpty()) return port;
  return StatusWords::tr("a link not known yet");
}

QString lastHotSyncWords(const HotSyncState& last, const QString& cause) {
  const QString at = clock(last.ended);
  if (!failed(last)) return StatusWords::tr("Last HotSync done at %1").arg(at);
  const QString why = !cause.isEmpty() ? cause : last.words.isEmpty() ? last.result : last.words;
  return StatusWords::tr("Last HotSync failed at %1 (%2)").arg(at, why);
}

Status describeStatus(const ManagerState* state, bool failureSeen, const QString& problem, const QString& cause) {
  Status status;
  if (!state) {
    status.kind = StatusKind::NoManager;
    status.tooltip = problem.isEmpty() ? StatusWords::tr("The HotSync manager is not running") : problem;
    return status;
  }
  QStringList lines;
  QStringList waiting;
  for (const PortState& port : state->ports) {
    if (port.condition == QLatin1String("unavailable"))
      lines << StatusWords::tr("%1 cannot be used: %2").arg(portWords(port.port, port.link), port.reason);
    else
      waiting << portWords(port.port, port.link);
  }
  if (state->quitting) {
    lines.prepend(StatusWords::tr("The HotSync manager is quitting"));
    status.kind = StatusKind::NoManager;
  } else if (state->running) {
    lines.prepend(runningWords(*state->running));
    status.kind = StatusKind::Running;
  } else if (!waiting.isEmpty()) {
    lines.prepend(StatusWords::tr("Waiting for a handheld on %1").arg(waiting.join(QLatin1String(", "))));
    status.kind = StatusKind::Waiting;
  } else {
    lines.prepend(StatusWords::tr("Waiting for no handheld: no port can be used (see Setup)"));
    status.kind = StatusKind::Idle;
  }
  if (!state->queue.empty())
    lines << (state->queue.size() == 1 ? StatusWords::tr("1 HotSync waiting its turn")
                                       : StatusWords::tr("%1 HotSyncs waiting their turn").arg(state->queue.size()));
  if (state->last) {
    lines << lastHotSyncWords(*state->last, cause);
    if (status.kind == StatusKind::Waiting) status.kind = failed(*state->last) ? StatusKind::Failed : StatusKind::Done;
    if (status.kind == StatusKind::Failed && failureSeen) status.kind = StatusKind::Waiting;
  }
  status.tooltip = lines.join(QLatin1Char('\n'));
  return status;
}

}  // namespace tarvo::desktop
