#include "ui/qt/login_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "resources/text_codec.h"
#include "ui/login_dialog_model.h"
#include "ui/login_templates.h"
#include "ui/qt/product_icon.h"
#include "ui/qt/static_link_widget.h"
#include "ui/qt/template_layout.h"

namespace tarvo::qt {

using namespace tarvo::ui;

namespace {

QString FromCp1252(const std::string& text) { return FromUtf8(tarvo::Cp1252ToUtf8(text)); }
std::string ToCp1252(const QString& text) { return tarvo::Utf8ToCp1252(text.toStdString()); }

QLineEdit* MakeEdit(QWidget* parent, const std::string& value, std::size_t limit, bool password) {
  auto* edit = new QLineEdit(parent);
  if (limit != 0) edit->setMaxLength(static_cast<int>(limit));
  if (password) edit->setEchoMode(QLineEdit::Password);
  edit->setText(FromCp1252(value));
  return edit;
}

}  // namespace

LoginWindow::LoginWindow(LoginDialogModel& model) : QDialog(nullptr), m_model(model) {
  const LoginLayout layout = model.Layout();
  const DialogTemplate& dialog = *layout.dialog;
  const TemplateLayout placer(*this, dialog);
  const LoginControls& values = model.Controls();
  std::size_t nextLink = 0;
  for (const TemplateControl& control : dialog.controls) {
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kLabel:
        widget = new QLabel(control.id == kCorpServer ? FromUtf8(layout.server) : FromUtf8(control.text), this);
        break;
      case ControlKind::kEdit:
        widget = m_login = MakeEdit(this, values.login, layout.loginLimit, false);
        m_login->setObjectName(QStringLiteral("login"));
        connect(m_login, &QLineEdit::textEdited, this, [this](const QString& text) {
          m_model.EditLogin(ToCp1252(text));
          ShowCaption();
        });
        break;
      case ControlKind::kPasswordEdit:
        widget = m_password = MakeEdit(this, values.password, layout.passwordLimit, true);
        m_password->setObjectName(QStringLiteral("password"));
        connect(m_password, &QLineEdit::textEdited, this, [this](const QString& text) {
          m_model.EditPassword(ToCp1252(text));
          ShowCaption();
        });
        break;
      case ControlKind::kCheckBox:
        widget = m_save = new QCheckBox(FromUtf8(control.text), this);
        m_save->setObjectName(QStringLiteral("save"));
        m_save->setChecked(values.save);
        m_save->setEnabled(layout.saveEnabled);
        connect(m_save, &QCheckBox::toggled, this, [this](bool on) { m_model.SetSave(on); });
        break;
      case ControlKind::kLink: {
        if (nextLink >= layout.links.size()) continue;
        const std::size_t index = nextLink++;
        auto* link = new StaticLinkWidget(*layout.links[index], this);
        connect(link, &StaticLinkWidget::clicked, this, [this, index] { m_model.ClickLink(index); });
        m_links.push_back(link);
        widget = link;
        break;
      }
      case ControlKind::kDefaultButton:
      case ControlKind::kButton: {
        QPushButton* button = MakeDialogButton(*this, control);
        if (control.kind == ControlKind::kDefaultButton) m_ok = button;
        widget = button;
        break;
      }
      case ControlKind::kIcon: {
        auto* icon = new QLabel(this);
        const QSize size = placer.units().ToPixels(control.width, control.height);
        icon->setPixmap(ProductIcon().pixmap(size));
        widget = icon;
        break;
      }
      default:
        continue;
    }
    placer.Place(*widget, control);
  }
  ShowCaption();
  CentreOnScreen(*this);
  if (m_login != nullptr) m_login->setFocus();
  m_timer.setSingleShot(true);
  connect(&m_timer, &QTimer::timeout, this, &LoginWindow::Poll);
  ArmTimer();
}

void LoginWindow::Poll() {
  m_model.TickIfDue();
  ShowCaption();
  if (m_model.Ended()) {
    // The countdown ran out: the model already ended as Cancel.
    QDialog::reject();
    return;
  }
  ArmTimer();
}

void LoginWindow::accept() {
  m_model.OnOK();
  m_timer.stop();
  QDialog::accept();
}

void LoginWindow::reject() {
  m_model.OnCancel();
  m_timer.stop();
  QDialog::reject();
}

void LoginWindow::ShowCaption() {
  setWindowTitle(FromCp1252(m_model.WindowText()));
  if (!m_model.TimerRunning()) m_timer.stop();
}

void LoginWindow::ArmTimer() {
  const int64_t wait = m_model.MillisUntilTick();
  if (wait < 0) return m_timer.stop();
  m_timer.start(static_cast<int>(wait));
}

void QtLoginFrontEnd::Run(LoginDialogModel& model) {
  LoginWindow window(model);
  window.exec();
}

}  // namespace tarvo::qt
