#include "desktop/manager_watch.h"

namespace tarvo::desktop {

void ManagerWatch::markFailureSeen() {
  if (failureSeen_) return;
  failureSeen_ = true;
  emit changed();
}

void ManagerWatch::takeEvent(const QJsonObject& event) {
  if (event.value(QLatin1String("v")).toInt() != kProtocolVersion) return;
  const bool first = event.value(QLatin1String("event")) == QLatin1String("state");
  if (!state_ && !first) return;  // a stream always begins with the whole state
  if (!state_) state_.emplace();
  applyEvent(*state_, event);
  problem_.clear();
  std::optional<HotSyncReport> report = reports_.take(event);
  if (report) {
    failureSeen_ = !failed(report->hotsync);
    cause_ = failureSeen_ || report->causes.isEmpty() ? QString() : report->causes.first();
  }
  emit eventTaken(event);
  emit changed();
  if (report) emit hotSyncEnded(*report);
}

void ManagerWatch::takeLoss(const QString& why) {
  state_.reset();
  cause_.clear();
  problem_ = why;
  emit changed();
}

}  // namespace tarvo::desktop
