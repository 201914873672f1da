// One HotSync as the HotSync window shows it, read from the manager's
// events: the host's own steps (installing the queued files, each conduit,
// backing up each database) with how each went, the bar and its words, and
// whether Cancel can still be pressed. Qt Core only, so it is tested without
// a screen and the window only shows it.
#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

#include "desktop/manager_state.h"

namespace tarvo::desktop {

struct HotSyncStep {
  enum class State { Running, Done, Failed };
  QString kind;  // installing, conduit, backup: which event moves it on
  QString text;
  State state = State::Running;
};

class HotSyncSteps {
 public:
  // Takes one event of the stream; true when what the window shows changed.
  bool take(const QJsonObject& event);
  // The Cancel was pressed and sent: the window says so and offers it no more.
  void cancelPressed();
  // The manager refused the Cancel (the HotSync had just ended, say).
  void cancelRefused(const QString& why);

  int hotsync() const { return id_; }  // 0: none followed yet
  bool running() const { return id_ != 0 && !ended_; }
  bool cancellable() const { return running() && !cancelling_; }
  QString title() const;
  const std::vector<HotSyncStep>& steps() const { return steps_; }
  int percent() const { return percent_; }
  QString words() const;  // under the bar
  const std::optional<HotSyncState>& ended() const { return ended_; }

 private:
  void follow(const HotSyncState& hotsync);
  HotSyncStep* open(const QString& kind);
  void closeOpen(HotSyncStep::State how);
  void push(const QString& kind, const QString& text);

  int id_ = 0;
  QString user_;
  QString port_;
  QString link_;
  std::vector<HotSyncStep> steps_;
  int percent_ = 0;
  QString barWords_;
  bool cancelling_ = false;
  QString cancelProblem_;
  int installsExpected_ = 0;
  int installsSeen_ = 0;
  QStringList installsRefused_;
  int backedUp_ = 0;
  std::optional<HotSyncState> ended_;
};

}  // namespace tarvo::desktop
