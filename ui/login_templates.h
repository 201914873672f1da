// The arrangement of the two login dialogs (dialog units, font
// "MS Sans Serif" 8): what a windowed front end lays out, and the texts a
// terminal front end shows. Texts are UTF-8.
#pragma once

#include <span>
#include <string_view>

namespace tarvo::ui {

enum class ControlKind { kLabel, kEdit, kPasswordEdit, kCheckBox, kLink, kDefaultButton, kButton, kIcon };

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

// Control ids of the default server's dialog.
inline constexpr int kStdSave = 247;
inline constexpr int kStdLogin = 248;
inline constexpr int kStdPassword = 249;
inline constexpr int kStdRegisterLink = 259;
inline constexpr int kStdForgotLink = 260;
// Control ids of the other servers' dialog.
inline constexpr int kCorpLogin = 261;
inline constexpr int kCorpPassword = 262;
inline constexpr int kCorpSave = 265;
inline constexpr int kCorpServer = 268;

const DialogTemplate& StandardLoginTemplate();   // 214
const DialogTemplate& CorporateLoginTemplate();  // 219

// The text of control `id` (an empty view for an unknown id).
std::string_view ControlText(const DialogTemplate& dialog, int id);
// The text of the label placed just before control `id` in the tab order.
std::string_view LabelBefore(const DialogTemplate& dialog, int id);

}  // namespace tarvo::ui
