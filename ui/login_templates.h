// The arrangement of the two login dialogs (dialog units, font
// "MS Sans Serif" 8): what a windowed front end lays out, and the texts a
// terminal front end shows. Texts are UTF-8.
#pragma once

#include "ui/dialog_template.h"

namespace tarvo::ui {

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

}  // namespace tarvo::ui
