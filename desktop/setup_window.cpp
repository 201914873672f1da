#include "desktop/setup_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tarvo::desktop {
namespace {

constexpr int kRateRole = Qt::UserRole + 2;

}  // namespace

SetupWindow::SetupWindow(ManagerClient& client, const QString& dev)
    : client_(client),
      dev_(dev),
      usb_(new QCheckBox(tr("Handhelds on &USB"))),
      serial_(new QListWidget),
      speed_(new QComboBox),
      off_(new QRadioButton(tr("&Off"))),
      thisMachine_(new QRadioButton(tr("&This computer only (an emulator, a bridge)"))),
      localNetwork_(new QRadioButton(tr("The &local network"))),
      warning_(new QLabel(tr("Anyone on the local network who can reach this computer can then start a HotSync "
                             "with it."))),
      message_(new QLabel) {
  setWindowTitle(tr("Setup"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(usb_);
  auto* serialBox = new QGroupBox(tr("Serial cradles"));
  auto* serialLayout = new QVBoxLayout(serialBox);
  serialLayout->addWidget(serial_);
  auto* speedRow = new QHBoxLayout;
  auto* speedLabel = new QLabel(tr("S&peed of the chosen port:"));
  speedLabel->setBuddy(speed_);
  speed_->addItem(tr("the handheld's fastest"), 0);
  for (const int rate : serialSpeeds()) speed_->addItem(QString::number(rate), rate);
  speedRow->addWidget(speedLabel);
  speedRow->addWidget(speed_, 1);
  serialLayout->addLayout(speedRow);
  // Each port keeps its own speed; the box shows the chosen port's.
  connect(serial_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    const QSignalBlocker quiet(speed_);
    speed_->setEnabled(item != nullptr);
    speed_->setCurrentIndex(std::max(0, speed_->findData(item ? item->data(kRateRole).toInt() : 0)));
  });
  connect(speed_, &QComboBox::currentIndexChanged, this, [this] {
    if (QListWidgetItem* item = serial_->currentItem()) item->setData(kRateRole, speed_->currentData());
  });
  layout->addWidget(serialBox);
  auto* networkBox = new QGroupBox(tr("Network HotSync"));
  auto* networkLayout = new QVBoxLayout(networkBox);
  networkLayout->addWidget(off_);
  networkLayout->addWidget(thisMachine_);
  networkLayout->addWidget(localNetwork_);
  warning_->setWordWrap(true);
  networkLayout->addWidget(warning_);
  layout->addWidget(networkBox);
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(message_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close);
  layout->addWidget(buttons);
  connect(buttons->button(QDialogButtonBox::Save), &QPushButton::clicked, this, &SetupWindow::save);
  connect(buttons->button(QDialogButtonBox::Close), &QPushButton::clicked, this, &QWidget::close);
  connect(localNetwork_, &QRadioButton::toggled, warning_, &QLabel::setVisible);
  connect(serial_, &QListWidget::itemChanged, this, &SetupWindow::showProblems);
  load();
}

QRadioButton* SetupWindow::network(NetworkReach reach) {
  return reach == NetworkReach::Off ? off_ : reach == NetworkReach::ThisMachine ? thisMachine_ : localNetwork_;
}

QString SetupWindow::message() const { return message_->text(); }

void SetupWindow::load() {
  QString error;
  if (!readSetup(managerConfigPath(), &setup_, &error)) message_->setText(error);
  usb_->setChecked(setup_.usb);
  const QSignalBlocker quiet(serial_);
  serial_->clear();
  QStringList configured = setup_.serialPorts;
  for (const SerialPort& port : serialPorts(dev_)) {
    auto* item = new QListWidgetItem(
        port.description.isEmpty() ? port.path : QStringLiteral("%1 (%2)").arg(port.path, port.description), serial_);
    item->setData(Qt::UserRole, port.path);
    item->setData(Qt::UserRole + 1, port.problem);
    item->setToolTip(port.problem);
    item->setCheckState(configured.removeAll(port.path) > 0 ? Qt::Checked : Qt::Unchecked);
    const auto rate = setup_.serialRates.find(port.path);
    item->setData(kRateRole, rate == setup_.serialRates.end() ? 0 : rate->second);
  }
  // A port of the file that is not here now stays chosen.
  for (const QString& missing : configured) {
    auto* item = new QListWidgetItem(tr("%1 (not present now)").arg(missing), serial_);
    item->setData(Qt::UserRole, missing);
    item->setCheckState(Qt::Checked);
    const auto rate = setup_.serialRates.find(missing);
    item->setData(kRateRole, rate == setup_.serialRates.end() ? 0 : rate->second);
  }
  speed_->setEnabled(false);  // until a port is chosen
  network(setup_.network)->setChecked(true);
  warning_->setVisible(setup_.network == NetworkReach::LocalNetwork);
  showProblems();
}

void SetupWindow::showProblems() {
  QStringList problems;
  for (int i = 0; i < serial_->count(); ++i) {
    const QListWidgetItem* item = serial_->item(i);
    const QString problem = item->data(Qt::UserRole + 1).toString();
    if (item->checkState() == Qt::Checked && !problem.isEmpty()) problems << problem;
  }
  message_->setText(problems.join(QLatin1Char('\n')));
}

void SetupWindow::save() {
  setup_.usb = usb_->isChecked();
  setup_.serialPorts.clear();
  setup_.serialRates.clear();
  for (int i = 0; i < serial_->count(); ++i) {
    const QListWidgetItem* item = serial_->item(i);
    if (item->checkState() != Qt::Checked) continue;
    const QString path = item->data(Qt::UserRole).toString();
    setup_.serialPorts << path;
    if (const int rate = item->data(kRateRole).toInt(); rate > 0) setup_.serialRates[path] = rate;
  }
  setup_.network = off_->isChecked()           ? NetworkReach::Off
                   : thisMachine_->isChecked() ? NetworkReach::ThisMachine
                                               : NetworkReach::LocalNetwork;
  QString error;
  if (!writeSetup(managerConfigPath(), setup_, &error)) {
    message_->setText(tr("Not saved: %1").arg(error));
    return;
  }
  message_->setText(tr("Saved; asking the HotSync manager to read it..."));
  client_.request(QStringLiteral("reload"), [self = QPointer<SetupWindow>(this)](const QJsonObject& reply) {
    if (!self) return;  // closed meanwhile
    QLabel* message_ = self->message_;
    if (reply.value(QLatin1String("error")) == QLatin1String("no-manager")) {
      message_->setText(tr("Saved. The HotSync manager is not running: it uses this at its next start."));
    } else if (reply.value(QLatin1String("ok")).toBool()) {
      QStringList ports;
      for (const QJsonValue port : reply.value(QLatin1String("ports")).toArray())
        ports << port.toObject().value(QLatin1String("port")).toString();
      message_->setText(tr("Saved. The HotSync manager now watches: %1")
                            .arg(ports.isEmpty() ? tr("no port") : ports.join(QLatin1String(", "))));
    } else {
      message_->setText(tr("Saved, but the HotSync manager keeps its settings: %1")
                            .arg(reply.value(QLatin1String("message")).toString()));
    }
  });
}

}  // namespace tarvo::desktop
