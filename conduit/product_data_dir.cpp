#include "conduit/config_front_ends.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/shell_open.h"
#include "ui/config_wizard.h"
#include "ui/qt/config_windows.h"
#include "ui/qt/qt_application.h"
#include "ui/term/config_terminal.h"

#ifndef TARVO_INSTALL_DATA_DIR
#define TARVO_INSTALL_DATA_DIR "/usr/local/share/tarvo-sync"
#endif

namespace tarvo::conduit {

namespace {

bool EnvFlag(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::string_view(value) != "" && std::string_view(value) != "0";
}

}  // namespace

std::unique_ptr<ConfigFrontEnd> ChooseConfigFrontEnd() {
  if (!EnvFlag("TARVO_NO_GUI") && tarvo::qt::DisplayAvailable())
    return std::make_unique<tarvo::qt::QtConfigFrontEnd>([](const std::string& url) {
      // Only web addresses: a page never opens a local file.
      if (tarvo::engine::IsWebAddress(url)) tarvo::engine::ShellOpen(url);
    });
  if (EnvFlag("TARVO_NO_TTY")) return std::make_unique<UnattendedConfigFrontEnd>();
  if (std::unique_ptr<ConfigFrontEnd> terminal = tarvo::term::OpenTerminalConfigFrontEnd()) return terminal;
  return std::make_unique<UnattendedConfigFrontEnd>();
}

std::filesystem::path ProductDataDir() {
  namespace fs = std::filesystem;
  std::vector<fs::path> candidates;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ProductDataDir), &info) != 0 && info.dli_fname != nullptr) {
    std::error_code ec;
    const fs::path library = fs::weakly_canonical(fs::path(info.dli_fname), ec);
    const fs::path folder = library.parent_path();
    candidates.push_back(folder.parent_path() / "share" / "tarvo-sync");
    candidates.push_back(TARVO_INSTALL_DATA_DIR);
    candidates.push_back(folder);
  } else {
    candidates.push_back(TARVO_INSTALL_DATA_DIR);
  }
  for (const fs::path& candidate : candidates) {
    std::error_code ec;
    if (fs::is_regular_file(candidate / kHandheldApplicationFile, ec)) return candidate;
  }
  return candidates.front();
}

}  // namespace tarvo::conduit
