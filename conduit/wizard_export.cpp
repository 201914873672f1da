// Wizard: the first-run wizard, or with "/installall" the handheld
// application queued for every HotSync user without any window.
#include <cstdint>

#include "conduit/conduit_export.h"
#include "conduit/front_end.h"
#include "conduit/product_data_dir.h"
#include "resources/trace.h"
#include "ui/config_wizard.h"

TARVO_EXPORT void Wizard(void* /*window*/, void* /*instance*/, const char* commandLine, int32_t /*show*/) {
  try {
    const std::filesystem::path dataDir = tarvo::conduit::ProductDataDir();
    if (tarvo::ui::WantsInstallAll(commandLine)) {
      tarvo::ui::InstallForAllUsers(dataDir);
      return;
    }
    const std::unique_ptr<ConfigFrontEnd> frontEnd = tarvo::conduit::ChooseConfigFrontEnd();
    CConfigWizard wizard;
    wizard.m_dataDir = dataDir;
    wizard.Run([&frontEnd](CConfigWizard& run) {
      frontEnd->RunWizard(run);
      if (!run.Ended()) run.Cancel();
    });
  } catch (...) {
    DebugOutput("Wizard: exception caught.\n");
  }
}
