// Places widgets where a dialog template puts its controls: dialog units
// turned into pixels through the template font's metrics.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <string_view>

#include "ui/dialog_template.h"
#include "ui/qt/dialog_units.h"

namespace tarvo::qt {

class TemplateLayout {
 public:
  // Gives `window` the template's font, client size, caption and the
  // product's icon.
  TemplateLayout(QWidget& window, const tarvo::ui::DialogTemplate& dialog);

  // Puts `widget` at control `control`'s rectangle.
  void Place(QWidget& widget, const tarvo::ui::TemplateControl& control) const;
  const DialogUnits& units() const { return m_units; }

 private:
  DialogUnits m_units;
};

// The template's OK (its default button) or Cancel button: it accepts or
// rejects `dialog`, through the dialog's own accept() or reject().
QPushButton* MakeDialogButton(QDialog& dialog, const tarvo::ui::TemplateControl& control);

// UTF-8 text of a template or a model.
QString FromUtf8(std::string_view text);

// Centres a top-level window on the screen it is on.
void CentreOnScreen(QWidget& window);

}  // namespace tarvo::qt
