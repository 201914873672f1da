#include "ui/qt/config_windows.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include "resources/rcstring.h"
#include "ui/config_texts.h"
#include "ui/config_wizard.h"
#include "ui/props_conduit.h"
#include "ui/qt/product_icon.h"
#include "ui/qt/qt_application.h"

namespace tarvo::qt {
namespace {

QString Resource(unsigned id) { return QString::fromStdString(RCString(id).utf8()); }

// Calls `changed` after every edit the user makes on `page` (the page's own
// handlers, connected first, have already told the model).
void WatchEdits(QWidget& page, QObject* context, const std::function<void()>& changed) {
  for (QLineEdit* edit : page.findChildren<QLineEdit*>())
    QObject::connect(edit, &QLineEdit::textEdited, context, changed);
  for (QAbstractButton* box : page.findChildren<QAbstractButton*>())
    QObject::connect(box, &QAbstractButton::toggled, context, changed);
  for (QSlider* slider : page.findChildren<QSlider*>())
    QObject::connect(slider, &QSlider::valueChanged, context, changed);
}

// A message over the window that does not block the caller.
void Notify(QWidget* window, const std::string& message) {
  auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(tarvo::ui::text::kCaption),
                              QString::fromStdString(message), QMessageBox::Ok, window);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace

// --- the sheet -------------------------------------------------------------------

PropsSheetWindow::PropsSheetWindow(CPropsConduit& sheet, const OpenUrl& open, QWidget* parent)
    : QDialog(parent), m_sheet(sheet) {
  setWindowTitle(QString::fromUtf8(tarvo::ui::text::kCaption));
  setWindowIcon(ProductIcon());
  m_tabs = new QTabWidget(this);
  m_identifica = new IdentificaPage(*sheet.m_pIdentifica, open);
  m_geral = new GeralPage(*sheet.m_pGeral);
  m_comm = new CommPage(*sheet.m_pComm);
  ConfigPageWidget* pages[] = {m_identifica, m_geral, m_comm};
  for (std::size_t i = 0; i < CPropsConduit::kPageCount; ++i) {
    m_tabs->addTab(pages[i], QString::fromUtf8(CPropsConduit::PageTitle(i)));
    WatchEdits(*pages[i], this, [this] { Sync(); });
  }
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_cancel = new QPushButton(Resource(tarvo::res::kButtonCancel), this);
  m_apply = new QPushButton(Resource(tarvo::res::kButtonApply), this);
  m_ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* button : {m_ok, m_cancel, m_apply}) buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tabs);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(m_tabs, &QTabWidget::currentChanged, this, &PropsSheetWindow::PageChosen);
  connect(m_ok, &QPushButton::clicked, this, [this] {
    if (m_sheet.OK()) return accept();
    Refuse(m_sheet.Page(m_sheet.Current()).ValidationError());
  });
  connect(m_apply, &QPushButton::clicked, this, [this] {
    if (!m_sheet.Apply()) Refuse(m_sheet.Page(m_sheet.Current()).ValidationError());
    Sync();
  });
  connect(m_cancel, &QPushButton::clicked, this, &PropsSheetWindow::reject);
  m_identifica->Refresh();
  Sync();
}

void PropsSheetWindow::reject() {
  m_sheet.Cancel();
  QDialog::reject();
}

void PropsSheetWindow::PageChosen(int index) {
  if (m_switching || index < 0) return;
  if (!m_sheet.SelectPage(static_cast<std::size_t>(index))) {
    m_switching = true;
    m_tabs->setCurrentIndex(static_cast<int>(m_sheet.Current()));
    m_switching = false;
    return Refuse(m_sheet.Page(m_sheet.Current()).ValidationError());
  }
  static_cast<ConfigPageWidget*>(m_tabs->widget(index))->Refresh();
  Sync();
}

void PropsSheetWindow::Sync() { m_apply->setEnabled(m_sheet.ApplyEnabled()); }

void PropsSheetWindow::Refuse(const std::string& message) {
  if (!message.empty()) Notify(this, message);
}

// --- the wizard ------------------------------------------------------------------

WizardWindow::WizardWindow(CConfigWizard& wizard, const OpenUrl& open, QWidget* parent)
    : QDialog(parent), m_wizard(wizard) {
  setWindowTitle(QString::fromUtf8(tarvo::ui::text::kCaption));
  setWindowIcon(ProductIcon());
  m_pages = new QStackedWidget(this);
  m_usuario = new UsuarioPage(*wizard.m_pUsuario);
  m_identifica = new IdentificaPage(*wizard.m_pIdentifica, open);
  m_geral = new GeralPage(*wizard.m_pGeral);
  m_comm = new CommPage(*wizard.m_pComm);
  m_final = new FinalPage(*wizard.m_pFinal, open, [this](bool another) {
    m_wizard.SetAnother(another);
    Sync();
  });
  for (QWidget* page : std::initializer_list<QWidget*>{m_usuario, m_identifica, m_geral, m_comm, m_final})
    m_pages->addWidget(page);
  m_back = new QPushButton(Resource(tarvo::res::kButtonBack), this);
  m_next = new QPushButton(Resource(tarvo::res::kButtonNext), this);
  m_finish = new QPushButton(this);
  m_cancel = new QPushButton(Resource(tarvo::res::kButtonCancel), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (QPushButton* button : {m_back, m_next, m_finish, m_cancel}) buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_pages);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(m_back, &QPushButton::clicked, this, [this] { Step(false); });
  connect(m_next, &QPushButton::clicked, this, [this] { Step(true); });
  connect(m_finish, &QPushButton::clicked, this, [this] {
    if (m_wizard.Finish()) accept();
  });
  connect(m_cancel, &QPushButton::clicked, this, &WizardWindow::reject);
  m_usuario->Refresh();
  Sync();
}

void WizardWindow::reject() {
  m_wizard.Cancel();
  QDialog::reject();
}

void WizardWindow::Step(bool forward) {
  if (!forward) {
    m_wizard.Back();
  } else if (!m_wizard.Next()) {
    if (!m_wizard.Message().empty()) Notify(this, m_wizard.Message());
    return;
  }
  static_cast<ConfigPageWidget*>(m_pages->widget(static_cast<int>(m_wizard.Current())))->Refresh();
  Sync();
}

void WizardWindow::Sync() {
  const bool last = m_wizard.Current() == CConfigWizard::kFinal;
  m_pages->setCurrentIndex(static_cast<int>(m_wizard.Current()));
  m_back->setEnabled(m_wizard.BackEnabled());
  m_next->setVisible(!last);
  m_finish->setVisible(last);
  m_finish->setText(QString::fromStdString(m_wizard.FinishText()));
  (last ? m_finish : m_next)->setDefault(true);
}

// --- the front end ---------------------------------------------------------------

void QtConfigFrontEnd::RunSheet(CPropsConduit& sheet) {
  ApplicationScope application;
  if (!application.ok()) return sheet.Cancel();
  PropsSheetWindow window(sheet, m_open);
  window.exec();
}

void QtConfigFrontEnd::RunWizard(CConfigWizard& wizard) {
  ApplicationScope application;
  if (!application.ok()) return wizard.Cancel();
  WizardWindow window(wizard, m_open);
  window.exec();
}

}  // namespace tarvo::qt
