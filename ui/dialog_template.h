// A dialog template: the controls of a window in dialog units (font
// "MS Sans Serif" 8), as a windowed front end lays them out.
#pragma once

#include <span>
#include <string_view>

namespace tarvo::ui {

enum class ControlKind {
  kLabel,
  kEdit,
  kPasswordEdit,
  kCheckBox,
  kLink,
  kDefaultButton,
  kButton,
  kIcon,
  kProgressBar,
  kAnimation
};

struct TemplateControl {
  int id;  // -1: none
  ControlKind kind;
  std::string_view text;
  int x, y, width, height;
};

struct DialogTemplate {
  int id;
  std::string_view caption;
  int width, height;
  std::span<const TemplateControl> controls;
};

// The control `id` (null for an unknown id).
const TemplateControl* FindControl(const DialogTemplate& dialog, int id);
// The text of control `id` (an empty view for an unknown id).
std::string_view ControlText(const DialogTemplate& dialog, int id);
// The text of the label placed just before control `id` in the tab order.
std::string_view LabelBefore(const DialogTemplate& dialog, int id);

}  // namespace tarvo::ui
