// Follows the manager through a ManagerClient: keeps its state, says it in
// words, and reports each HotSync that ends. The status icon, the windows
// and the notifications all read this one object.
#pragma once

#include <QObject>
#include <optional>

#include "desktop/hotsync_report.h"
#include "desktop/manager_state.h"
#include "desktop/status_words.h"

namespace tarvo::desktop {

class ManagerWatch : public QObject {
  Q_OBJECT
 public:
  // Nothing while no manager answers.
  const ManagerState* state() const { return state_ ? &*state_ : nullptr; }
  Status status() const { return describeStatus(state(), failureSeen_, problem_, cause_); }
  // The user looked at the last failure: the icon stops showing it.
  void markFailureSeen();

 public slots:
  void takeEvent(const QJsonObject& event);
  void takeLoss(const QString& why);

 signals:
  void changed();
  // Also for a HotSync's events as they come, so a log can follow them.
  void eventTaken(const QJsonObject& event);
  void hotSyncEnded(const tarvo::desktop::HotSyncReport& report);

 private:
  std::optional<ManagerState> state_;
  ReportCollector reports_;
  bool failureSeen_ = true;
  QString problem_;
  QString cause_;  // why the last HotSync failed, from its steps
};

}  // namespace tarvo::desktop
