#include "ui/config_front_end.h"

#include <cstdio>

#include "ui/config_wizard.h"
#include "ui/props_conduit.h"

void UnattendedConfigFrontEnd::RunSheet(CPropsConduit& sheet) {
  std::fputs("tarvo: no display and no terminal to show the configuration; nothing was saved\n", stderr);
  sheet.Cancel();
}

void UnattendedConfigFrontEnd::RunWizard(CConfigWizard& wizard) {
  std::fputs("tarvo: no display and no terminal to show the wizard; nothing was saved or queued\n", stderr);
  wizard.Cancel();
}
