#include "conduit/product_data_dir.h"

#include <dlfcn.h>

#include <system_error>
#include <vector>

#include "ui/config_wizard.h"

#ifndef TARVO_INSTALL_DATA_DIR
#define TARVO_INSTALL_DATA_DIR "/usr/local/share/tarvo-sync"
#endif

namespace tarvo::conduit {

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
