// The arrangement of the progress dialog and of the proxy credentials
// prompt (dialog units), for windowed front ends. Texts are UTF-8.
#pragma once

#include <string>

#include "ui/dialog_template.h"

namespace tarvo::ui {

inline constexpr int kProgressCancel = 201;
inline constexpr int kProgressBar = 1004;
inline constexpr int kProgressStatus = 1006;
inline constexpr int kProgressTask = 1007;

inline constexpr int kProxyMessage = 300;
inline constexpr int kProxyUser = 301;
inline constexpr int kProxyPassword = 302;
inline constexpr int kProxyDomain = 303;

const DialogTemplate& ProgressTemplate();     // 102
const DialogTemplate& ProxyPromptTemplate();  // the proxy's request for credentials

// The prompt's message, naming the proxy ("%s" in the template's text).
std::string ProxyPromptMessage(const std::string& proxy);

}  // namespace tarvo::ui
