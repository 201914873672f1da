#include "desktop/hotsync_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "desktop/app_icon.h"

namespace tarvo::desktop {

HotSyncWindow::HotSyncWindow() {
  setWindowTitle(tr("HotSync"));
  setWindowIcon(appIcon());
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel;
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  layout->addWidget(title_);
  list_ = new QListWidget;
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  layout->addWidget(list_, 1);
  bar_ = new QProgressBar;
  bar_->setRange(0, 100);
  layout->addWidget(bar_);
  words_ = new QLabel;
  words_->setWordWrap(true);
  layout->addWidget(words_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  cancel_ = new QPushButton(tr("&Cancel"));
  close_ = new QPushButton(tr("C&lose"));
  buttons->addWidget(cancel_);
  buttons->addWidget(close_);
  layout->addLayout(buttons);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (!steps_.cancellable()) return;
    const int id = steps_.hotsync();
    steps_.cancelPressed();
    showSteps();
    emit cancelWanted(id);
  });
  // Closing only hides the window: the HotSync goes on.
  connect(close_, &QPushButton::clicked, this, &QWidget::hide);
  resize(420, 300);
  showSteps();
}

void HotSyncWindow::take(const QJsonObject& event) {
  const bool wasRunning = steps_.running();
  if (!steps_.take(event)) return;
  showSteps();
  if (steps_.running() && !wasRunning) {
    show();
    raise();
  }
}

void HotSyncWindow::cancelAnswered(const QJsonObject& reply) {
  if (reply.value(QLatin1String("ok")).toBool()) return;
  steps_.cancelRefused(reply.value(QLatin1String("message")).toString());
  showSteps();
}

void HotSyncWindow::showSteps() {
  title_->setText(steps_.title());
  list_->clear();
  for (const HotSyncStep& step : steps_.steps()) {
    // The words say how it went; the picture only repeats it.
    const QStyle::StandardPixmap picture = step.state == HotSyncStep::State::Done     ? QStyle::SP_DialogApplyButton
                                           : step.state == HotSyncStep::State::Failed ? QStyle::SP_MessageBoxWarning
                                                                                      : QStyle::SP_ArrowRight;
    QString text = step.text;
    if (step.state == HotSyncStep::State::Failed) text = tr("%1 (failed)").arg(text);
    list_->addItem(new QListWidgetItem(style()->standardIcon(picture), text));
  }
  list_->scrollToBottom();
  bar_->setValue(steps_.percent());
  words_->setText(steps_.words());
  cancel_->setEnabled(steps_.cancellable());
}

}  // namespace tarvo::desktop
