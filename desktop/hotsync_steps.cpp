#include "desktop/hotsync_steps.h"

#include <QCoreApplication>
#include <algorithm>

#include "desktop/status_words.h"

namespace tarvo::desktop {
namespace {

// The texts of this file, in the translation context "HotSync".
class StepWords {
  Q_DECLARE_TR_FUNCTIONS(HotSync)
};

QString installingText(int files) {
  return files == 1 ? StepWords::tr("Installing 1 file") : StepWords::tr("Installing %1 files").arg(files);
}

}  // namespace

void HotSyncSteps::follow(const HotSyncState& hotsync) {
  *this = HotSyncSteps{};
  id_ = hotsync.id;
  user_ = hotsync.user;
  port_ = hotsync.port;
  link_ = hotsync.link;
  percent_ = hotsync.percent;
  barWords_ = hotsync.words;
  // Followed from the middle (the window started late): the conduit that runs.
  if (!hotsync.conduitName.isEmpty()) push(QStringLiteral("conduit"), hotsync.conduitName);
}

HotSyncStep* HotSyncSteps::open(const QString& kind) {
  if (steps_.empty() || steps_.back().state != HotSyncStep::State::Running || steps_.back().kind != kind)
    return nullptr;
  return &steps_.back();
}

void HotSyncSteps::closeOpen(HotSyncStep::State how) {
  if (!steps_.empty() && steps_.back().state == HotSyncStep::State::Running) steps_.back().state = how;
}

void HotSyncSteps::push(const QString& kind, const QString& text) {
  closeOpen(HotSyncStep::State::Done);
  steps_.push_back({kind, text, HotSyncStep::State::Running});
}

bool HotSyncSteps::take(const QJsonObject& event) {
  const QString type = event.value(QLatin1String("event")).toString();
  if (type == QLatin1String("state")) {
    const ManagerState state = parseState(event.value(QLatin1String("state")).toObject());
    if (state.running) {
      if (state.running->id != id_) follow(*state.running);
      return true;
    }
    // The stream came back (the manager restarted, say): what it knows of ours.
    if (running()) {
      if (state.last && state.last->id == id_)
        ended_ = state.last;
      else
        *this = HotSyncSteps{};
      closeOpen(HotSyncStep::State::Failed);
      return true;
    }
    return false;
  }
  if (type == QLatin1String("started")) {
    follow(parseHotSync(event.value(QLatin1String("hotsync")).toObject()));
    return true;
  }
  const QJsonValue which = event.value(QLatin1String("hotsync"));
  const int id = which.isObject() ? which.toObject().value(QLatin1String("id")).toInt() : which.toInt();
  if (id == 0 || id != id_ || ended_) return false;

  if (type == QLatin1String("user")) {
    user_ = event.value(QLatin1String("user")).toString();
  } else if (type == QLatin1String("installing")) {
    installsExpected_ = event.value(QLatin1String("files")).toInt();
    installsSeen_ = 0;
    installsRefused_.clear();
    push(QStringLiteral("installing"), installingText(installsExpected_));
  } else if (type == QLatin1String("install")) {
    HotSyncStep* step = open(QStringLiteral("installing"));
    if (!step) {
      // A manager that does not say how many are coming: counted as they come.
      push(QStringLiteral("installing"), QString());
      step = &steps_.back();
    }
    ++installsSeen_;
    if (!event.value(QLatin1String("ok")).toBool())
      installsRefused_ << StepWords::tr("%1 not installed: %2")
                              .arg(event.value(QLatin1String("file")).toString(),
                                   event.value(QLatin1String("words")).toString());
    const int installed = installsSeen_ - static_cast<int>(installsRefused_.size());
    const int of = std::max(installsExpected_, installsSeen_);
    step->text = installed == of
                     ? (of == 1 ? StepWords::tr("Installed 1 file") : StepWords::tr("Installed %1 files").arg(of))
                 : installsSeen_ < of ? StepWords::tr("Installing %1 files (%2 done)").arg(of).arg(installsSeen_)
                                      : StepWords::tr("Installed %1 of %2 files").arg(installed).arg(of);
    if (!installsRefused_.isEmpty() && installsSeen_ >= of)
      step->text += QLatin1String("; ") + installsRefused_.join(QLatin1String("; "));
    if (installsSeen_ >= of)
      step->state = installsRefused_.isEmpty() ? HotSyncStep::State::Done : HotSyncStep::State::Failed;
  } else if (type == QLatin1String("conduit-started")) {
    push(QStringLiteral("conduit"),
         event.value(QLatin1String("conduit")).toObject().value(QLatin1String("name")).toString());
  } else if (type == QLatin1String("conduit-ended")) {
    HotSyncStep* step = open(QStringLiteral("conduit"));
    if (!step) return false;
    if (event.value(QLatin1String("status")).toInt() == 0) {
      step->state = HotSyncStep::State::Done;
    } else {
      step->state = HotSyncStep::State::Failed;
      const QString words = event.value(QLatin1String("words")).toString();
      if (!words.isEmpty()) step->text += QLatin1String(": ") + words;
    }
  } else if (type == QLatin1String("progress")) {
    percent_ = std::max(percent_, event.value(QLatin1String("percent")).toInt());
    if (event.contains(QLatin1String("words"))) barWords_ = event.value(QLatin1String("words")).toString();
  } else if (type == QLatin1String("backing-up")) {
    const QString text = StepWords::tr("Backing up %1").arg(event.value(QLatin1String("database")).toString());
    if (HotSyncStep* step = open(QStringLiteral("backup")))
      step->text = text;
    else
      push(QStringLiteral("backup"), text);
    ++backedUp_;
  } else if (type == QLatin1String("backup")) {
    if (!open(QStringLiteral("backup"))) push(QStringLiteral("backup"), QString());
    HotSyncStep& step = steps_.back();
    const int copied = event.value(QLatin1String("copied")).toInt();
    const int failures = event.value(QLatin1String("failed")).toInt();
    step.text = copied == 0   ? StepWords::tr("Backup: nothing changed")
                : copied == 1 ? StepWords::tr("Backed up 1 database")
                              : StepWords::tr("Backed up %1 databases").arg(copied);
    if (failures > 0) step.text += QLatin1String(", ") + StepWords::tr("%1 could not be copied").arg(failures);
    step.state = failures > 0 ? HotSyncStep::State::Failed : HotSyncStep::State::Done;
  } else if (type == QLatin1String("ended")) {
    ended_ = parseHotSync(which.toObject());
    if (ended_->user.isEmpty()) ended_->user = user_;
    // The step it stopped in did not finish: that is where it failed.
    closeOpen(failed(*ended_) ? HotSyncStep::State::Failed : HotSyncStep::State::Done);
    if (!failed(*ended_)) percent_ = 100;
  } else if (type == QLatin1String("dropped")) {
    HotSyncState dropped;
    dropped.id = id_;
    dropped.user = user_;
    dropped.result = QStringLiteral("failed");
    dropped.words = StepWords::tr("The HotSync could not be started");
    ended_ = dropped;
    closeOpen(HotSyncStep::State::Failed);
  } else {
    return false;
  }
  return true;
}

void HotSyncSteps::cancelPressed() {
  if (running()) cancelling_ = true;
}

void HotSyncSteps::cancelRefused(const QString& why) {
  cancelling_ = false;
  cancelProblem_ = why;
}

QString HotSyncSteps::title() const {
  if (ended_) {
    const bool cancelled = ended_->result == QLatin1String("cancelled");
    if (user_.isEmpty())
      return cancelled         ? StepWords::tr("HotSync cancelled")
             : failed(*ended_) ? StepWords::tr("HotSync failed")
                               : StepWords::tr("HotSync done");
    return (cancelled         ? StepWords::tr("HotSync of %1 cancelled")
            : failed(*ended_) ? StepWords::tr("HotSync of %1 failed")
                              : StepWords::tr("HotSync of %1 done"))
        .arg(user_);
  }
  if (id_ == 0) return StepWords::tr("No HotSync is running");
  const QString over = portWords(port_, link_);
  return user_.isEmpty() ? StepWords::tr("HotSync over %1").arg(over)
                         : StepWords::tr("HotSync of %1 over %2").arg(user_, over);
}

QString HotSyncSteps::words() const {
  if (ended_) return ended_->words;
  if (!cancelProblem_.isEmpty()) return cancelProblem_;
  if (cancelling_) return StepWords::tr("Cancelling: the handheld is told to stop");
  return barWords_;
}

}  // namespace tarvo::desktop
