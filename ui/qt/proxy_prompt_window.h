// The proxy's request for credentials: user, password and domain.
#pragma once

#include <QDialog>

#include "ui/progress/proxy_prompt_relay.h"

class QLineEdit;

namespace tarvo::qt {

class ProxyPromptWindow final : public QDialog {
  Q_OBJECT

 public:
  // Starts with the user name the client already had.
  ProxyPromptWindow(const ProxyCredentials& current, QWidget* parent);

  // The typed values; true when a user name was given.
  bool Take(ProxyCredentials& credentials) const;

  QLineEdit* user() const { return m_user; }
  QLineEdit* password() const { return m_password; }
  QLineEdit* domain() const { return m_domain; }

 private:
  QLineEdit* m_user;
  QLineEdit* m_password;
  QLineEdit* m_domain;
};

}  // namespace tarvo::qt
