// A login dialog as a modal Qt window, built from the model's layout and
// template. The window only shows the model and feeds it edits, clicks and
// the timer's ticks; the model decides how the dialog ends.
#pragma once

#include <QDialog>
#include <QTimer>
#include <vector>

#include "ui/login_front_end.h"

class LoginDialogModel;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarvo::qt {

class StaticLinkWidget;

class LoginWindow final : public QDialog {
  Q_OBJECT

 public:
  // The model must be initialised (OnInitDialog) and outlive the window.
  explicit LoginWindow(LoginDialogModel& model);

  // Runs a tick that is due by the model's clock and ends the window when
  // the countdown has run out; the timer calls it, tests may too.
  void Poll();

  QLineEdit* login() const { return m_login; }
  QLineEdit* password() const { return m_password; }
  QCheckBox* save() const { return m_save; }
  QPushButton* okButton() const { return m_ok; }
  const std::vector<StaticLinkWidget*>& links() const { return m_links; }

 public slots:
  void accept() override;
  void reject() override;

 private:
  void ShowCaption();
  void ArmTimer();

  LoginDialogModel& m_model;
  QTimer m_timer;
  QLineEdit* m_login = nullptr;
  QLineEdit* m_password = nullptr;
  QCheckBox* m_save = nullptr;
  QPushButton* m_ok = nullptr;
  std::vector<StaticLinkWidget*> m_links;
};

// Shows each login dialog as a LoginWindow, modal on the calling thread.
class QtLoginFrontEnd final : public LoginFrontEnd {
 public:
  void Run(LoginDialogModel& model) override;
};

}  // namespace tarvo::qt
