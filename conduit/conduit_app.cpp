#include "conduit/conduit_app.h"

#include <atomic>

#include "resources/trace.h"
#include "settings/settings_store.h"

namespace {
std::atomic<int> g_initCount{0};
}  // namespace

CZbcondApp::CZbcondApp() {
  try {
    InitInstance();
  } catch (...) {
    DebugOutput("CZbcondApp: exception caught while initialising.\n");
  }
}

CZbcondApp::~CZbcondApp() {
  try {
    ExitInstance();
  } catch (...) {
  }
}

bool CZbcondApp::InitInstance() {
  // The store follows $XDG_CONFIG_HOME/tarvo/settings.sqlite, looked up at
  // each use, so a host that sets the variable late still gets its own.
  tarvo::SetSettingsFile({});
  g_initCount.fetch_add(1);
  return true;
}

int CZbcondApp::ExitInstance() {
  g_initCount.fetch_sub(1);
  return 0;
}

int CZbcondApp::InitCount() { return g_initCount.load(); }

// The one application object of the library.
static CZbcondApp theApp;
