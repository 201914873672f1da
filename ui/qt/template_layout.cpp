#include "ui/qt/template_layout.h"

#include <QScreen>
#include <QString>

#include "ui/qt/product_icon.h"

namespace tarvo::qt {

TemplateLayout::TemplateLayout(QWidget& window, const tarvo::ui::DialogTemplate& dialog) {
  window.setFont(TemplateFont());
  window.setFixedSize(m_units.ToPixels(dialog.width, dialog.height));
  window.setWindowTitle(FromUtf8(dialog.caption));
  window.setWindowIcon(ProductIcon());
}

void TemplateLayout::Place(QWidget& widget, const tarvo::ui::TemplateControl& control) const {
  widget.setGeometry(m_units.ToPixels(control.x, control.y, control.width, control.height));
}

QPushButton* MakeDialogButton(QDialog& dialog, const tarvo::ui::TemplateControl& control) {
  auto* button = new QPushButton(FromUtf8(control.text), &dialog);
  const bool ok = control.kind == tarvo::ui::ControlKind::kDefaultButton;
  button->setDefault(ok);
  button->setAutoDefault(ok);
  QObject::connect(button, &QPushButton::clicked, &dialog, ok ? &QDialog::accept : &QDialog::reject);
  return button;
}

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

void CentreOnScreen(QWidget& window) {
  if (const QScreen* screen = window.screen()) {
    const QRect area = screen->availableGeometry();
    window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
  }
}

}  // namespace tarvo::qt
