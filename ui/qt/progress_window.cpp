#include "ui/qt/progress_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <utility>

#include "ui/progress/progress_templates.h"
#include "ui/qt/proxy_prompt_window.h"
#include "ui/qt/template_layout.h"

namespace tarvo::qt {

using namespace tarvo::ui;

ProgressWindow::ProgressWindow()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_task(new QLabel(this)),
      m_status(new QLabel(this)),
      m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(this)) {
  const DialogTemplate& dialog = ProgressTemplate();
  const TemplateLayout layout(*this, dialog);
  for (QLabel* line : {m_task, m_status}) line->setAlignment(Qt::AlignCenter);
  m_task->setObjectName(QStringLiteral("task"));
  m_status->setObjectName(QStringLiteral("status"));
  layout.Place(*m_task, *FindControl(dialog, kProgressTask));
  layout.Place(*m_status, *FindControl(dialog, kProgressStatus));
  m_bar->setObjectName(QStringLiteral("bar"));
  m_bar->setRange(0, 100);
  m_bar->setValue(0);
  m_bar->setTextVisible(false);
  layout.Place(*m_bar, *FindControl(dialog, kProgressBar));
  const TemplateControl& cancel = *FindControl(dialog, kProgressCancel);
  m_cancel->setObjectName(QStringLiteral("cancel"));
  m_cancel->setText(FromUtf8(cancel.text));
  m_cancel->setDefault(true);
  layout.Place(*m_cancel, cancel);
  connect(m_cancel, &QPushButton::clicked, this, [this] { m_pressed = true; });
}

bool ProgressWindow::TakeCancel() { return std::exchange(m_pressed, false); }

void ProgressWindow::reject() { m_pressed = true; }

void ProgressWindow::closeEvent(QCloseEvent* event) {
  m_pressed = true;
  event->ignore();
}

QtProgressView::QtProgressView() : m_window(std::make_unique<ProgressWindow>()) {
  CentreOnScreen(*m_window);
  m_window->show();
  QCoreApplication::processEvents();
}

QtProgressView::~QtProgressView() = default;

void QtProgressView::ShowCaption(const std::string& caption) {
  if (m_window) m_window->setWindowTitle(FromUtf8(caption));
}

void QtProgressView::ShowTexts(const std::string& task, const std::string& status) {
  if (!m_window) return;
  m_window->task()->setText(FromUtf8(task));
  m_window->status()->setText(FromUtf8(status));
  QCoreApplication::processEvents();
}

void QtProgressView::ShowPosition(int32_t percent) {
  if (!m_window) return;
  m_window->bar()->setValue(percent);
  QCoreApplication::processEvents();
}

bool QtProgressView::PollCancel() {
  if (!m_window) return false;
  QCoreApplication::processEvents();
  return m_window->TakeCancel();
}

void QtProgressView::Close() {
  if (!m_window) return;
  m_window->hide();
  m_window.reset();
  QCoreApplication::processEvents();
}

bool QtProgressView::AskProxyCredentials(ProxyCredentials& credentials) {
  ProxyPromptWindow prompt(credentials, m_window.get());
  return prompt.exec() == QDialog::Accepted && prompt.Take(credentials);
}

}  // namespace tarvo::qt
