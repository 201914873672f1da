#include "ui/qt/proxy_prompt_window.h"

#include <QLabel>
#include <QLineEdit>

#include "ui/progress/progress_templates.h"
#include "ui/qt/template_layout.h"

namespace tarvo::qt {

using namespace tarvo::ui;

ProxyPromptWindow::ProxyPromptWindow(const ProxyCredentials& current, QWidget* parent)
    : QDialog(parent), m_user(nullptr), m_password(nullptr), m_domain(nullptr) {
  const DialogTemplate& dialog = ProxyPromptTemplate();
  const TemplateLayout layout(*this, dialog);
  for (const TemplateControl& control : dialog.controls) {
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kLabel: {
        auto* label = new QLabel(this);
        const bool message = control.id == kProxyMessage;
        label->setText(FromUtf8(message ? ProxyPromptMessage(current.proxy) : std::string(control.text)));
        label->setWordWrap(true);
        widget = label;
        break;
      }
      case ControlKind::kEdit:
      case ControlKind::kPasswordEdit: {
        auto* edit = new QLineEdit(this);
        if (control.kind == ControlKind::kPasswordEdit) edit->setEchoMode(QLineEdit::Password);
        (control.id == kProxyUser ? m_user : control.id == kProxyPassword ? m_password : m_domain) = edit;
        widget = edit;
        break;
      }
      case ControlKind::kDefaultButton:
      case ControlKind::kButton:
        widget = MakeDialogButton(*this, control);
        break;
      default:
        continue;
    }
    layout.Place(*widget, control);
  }
  m_user->setObjectName(QStringLiteral("user"));
  m_password->setObjectName(QStringLiteral("password"));
  m_domain->setObjectName(QStringLiteral("domain"));
  m_user->setText(FromUtf8(current.user));
  m_user->setFocus();
  if (parent == nullptr) CentreOnScreen(*this);
}

bool ProxyPromptWindow::Take(ProxyCredentials& credentials) const {
  if (m_user->text().isEmpty()) return false;
  credentials.user = m_user->text().toStdString();
  credentials.password = m_password->text().toStdString();
  credentials.domain = m_domain->text().toStdString();
  return true;
}

}  // namespace tarvo::qt
