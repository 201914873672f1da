#include "conduit/conduit_app.h"

#include <atomic>

#include "resources/trace.h"

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
  // The settings store needs no pointing: it already follows this user's
  // $XDG_CONFIG_HOME/tarvo/settings.sqlite, looked up at each use, so a host
  // that sets the variable late still gets its own. (Touching the store
  // here would also race the store's own static set-up at load time.)
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
