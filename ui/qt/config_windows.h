// The configuration sheet and the first-run wizard as Qt windows, over the
// models of ui/, and the front end that shows them.
#pragma once

#include <QDialog>

#include "ui/config_front_end.h"
#include "ui/qt/config_pages_qt.h"

class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace tarvo::qt {

// "Tarvo": the three pages as tabs, with OK, Cancelar and Aplicar.
class PropsSheetWindow final : public QDialog {
 public:
  PropsSheetWindow(CPropsConduit& sheet, const OpenUrl& open, QWidget* parent = nullptr);
  void reject() override;

  QTabWidget* m_tabs;
  IdentificaPage* m_identifica;
  GeralPage* m_geral;
  CommPage* m_comm;
  QPushButton* m_ok;
  QPushButton* m_cancel;
  QPushButton* m_apply;

 private:
  void PageChosen(int index);
  void Sync();
  void Refuse(const std::string& message);

  CPropsConduit& m_sheet;
  bool m_switching = false;
};

// One run of the wizard: a page at a time, with Back, Next or Finish, Cancel.
class WizardWindow final : public QDialog {
 public:
  WizardWindow(CConfigWizard& wizard, const OpenUrl& open, QWidget* parent = nullptr);
  void reject() override;

  QStackedWidget* m_pages;
  UsuarioPage* m_usuario;
  IdentificaPage* m_identifica;
  GeralPage* m_geral;
  CommPage* m_comm;
  FinalPage* m_final;
  QPushButton* m_back;
  QPushButton* m_next;
  QPushButton* m_finish;
  QPushButton* m_cancel;

 private:
  void Step(bool forward);
  void Sync();

  CConfigWizard& m_wizard;
};

// Shows the windows modally, with the host's application object or one of
// its own for the time they show.
class QtConfigFrontEnd final : public ConfigFrontEnd {
 public:
  explicit QtConfigFrontEnd(OpenUrl open) : m_open(std::move(open)) {}
  void RunSheet(CPropsConduit& sheet) override;
  void RunWizard(CConfigWizard& wizard) override;

 private:
  OpenUrl m_open;
};

}  // namespace tarvo::qt
