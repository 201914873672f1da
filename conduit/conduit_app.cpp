#include "conduit/conduit_app.h"

#include "resources/trace.h"

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
  return true;
}

int CZbcondApp::ExitInstance() { return 0; }

// The one application object of the library.
static CZbcondApp theApp;
