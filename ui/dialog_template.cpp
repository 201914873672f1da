#include "ui/dialog_template.h"

namespace tarvo::ui {

const TemplateControl* FindControl(const DialogTemplate& dialog, int id) {
  for (const TemplateControl& control : dialog.controls)
    if (control.id == id) return &control;
  return nullptr;
}

std::string_view ControlText(const DialogTemplate& dialog, int id) {
  const TemplateControl* control = FindControl(dialog, id);
  return control != nullptr ? control->text : std::string_view();
}

std::string_view LabelBefore(const DialogTemplate& dialog, int id) {
  std::string_view label;
  for (const TemplateControl& control : dialog.controls) {
    if (control.id == id) return label;
    if (control.kind == ControlKind::kLabel && control.id == -1) label = control.text;
  }
  return {};
}

}  // namespace tarvo::ui
