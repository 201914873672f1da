// The three shared configuration pages and the wizard's own two pages as Qt
// widgets, placed where their dialog templates put the controls. Each page
// shows its model's members on Refresh() and feeds every edit straight into
// the model; the sheet and the wizard windows decide when pages load and save.
#pragma once

#include <QWidget>
#include <functional>

class CPropIdentifica;
class CPropGeral;
class CPropComm;
class CPropUsuario;
class CPropFinal;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

namespace tarvo::qt {

class DialogUnits;
class GroupFrame;

// What a click on a link or a web button opens (the desktop's browser).
using OpenUrl = std::function<void(const std::string& url)>;

class ConfigPageWidget : public QWidget {
 public:
  using QWidget::QWidget;
  // Copies the model's members into the controls.
  virtual void Refresh() = 0;

 protected:
  bool m_refreshing = false;  // edits made by Refresh() are not the user's
};

class IdentificaPage final : public ConfigPageWidget {
 public:
  IdentificaPage(CPropIdentifica& model, const OpenUrl& open, QWidget* parent = nullptr);
  void Refresh() override;

  QLineEdit* m_login;
  QLineEdit* m_password;

 private:
  CPropIdentifica& m_model;
  QLabel* m_user;
};

class GeralPage final : public ConfigPageWidget {
 public:
  GeralPage(CPropGeral& model, QWidget* parent = nullptr);
  void Refresh() override;

  QRadioButton* m_nextUpdate;
  QRadioButton* m_nextNothing;
  QRadioButton* m_defaultUpdate;
  QRadioButton* m_defaultNothing;

 private:
  CPropGeral& m_model;
};

class CommPage final : public ConfigPageWidget {
 public:
  CommPage(CPropComm& model, QWidget* parent = nullptr);
  void Refresh() override;

  GroupFrame* m_serverGroup;
  QSlider* m_slider;
  QLabel* m_timeoutText;
  QCheckBox* m_useProxy;
  QLineEdit* m_host;
  QLineEdit* m_port;
  QCheckBox* m_useAuth;
  QLineEdit* m_user;
  QLineEdit* m_password;
  QLineEdit* m_domain;

 private:
  CPropComm& m_model;
};

class UsuarioPage final : public ConfigPageWidget {
 public:
  UsuarioPage(CPropUsuario& model, QWidget* parent = nullptr);
  void Refresh() override;

  QComboBox* m_users;

 private:
  CPropUsuario& m_model;
};

class FinalPage final : public ConfigPageWidget {
 public:
  FinalPage(CPropFinal& model, const OpenUrl& open, const std::function<void(bool)>& another,
            QWidget* parent = nullptr);
  void Refresh() override;

  QCheckBox* m_another;

 private:
  CPropFinal& m_model;
  QLabel* m_links[3];
};

// The pages' size in dialog units.
inline constexpr int kPageWidth = 305;
inline constexpr int kPageHeight = 199;

}  // namespace tarvo::qt
