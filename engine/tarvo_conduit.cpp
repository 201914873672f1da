// Construction, finalisation and destruction of the engine.
#include "engine/tarvo_conduit.h"

#include <unistd.h>

#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

CTarvoConduit::CTarvoConduit() : m_recordBuffer(std::make_unique<uint8_t[]>(kRecordBufferSize)) {
  TarvoTrace("CTarvoConduit::CTarvoConduit()");
}

CTarvoConduit::~CTarvoConduit() {
  try {
    Finalize();
  } catch (...) {
    DebugOutput("CTarvoConduit::~CTarvoConduit(): exception caught while finalizing.\n");
  }
  // Otherwise the folder grows with every edition ever downloaded.
  for (const std::string& path : m_downloads) ::unlink(path.c_str());
}

void CTarvoConduit::Finalize() {
  TarvoTrace("CTarvoConduit::Finalize()");
  if (!m_dlgprg) return;

  try {
    if (m_pHttp && m_pHttp->IsBlocked()) m_pHttp->Abort();
  } catch (...) {
    DebugOutput("CTarvoConduit::Finalize(): Exception caught while aborting CHttp post request.\n");
  }
  // A fetch worker left behind by a cancel still uses the HTTP client that
  // dies with the dialog: it must be gone first.
  try {
    JoinPageWorker();
  } catch (...) {
    DebugOutput("CTarvoConduit::Finalize(): Exception caught while aborting CHttp post request.\n");
  }

  try {
    if (m_dlgprg->HasWindow()) m_dlgprg->DestroyWindow();
    m_pHttp = nullptr;
    m_dlgprg.reset();
  } catch (...) {
    DebugOutput("CTarvoConduit::Finalize(): exception caught while destoing m_dlgprg.\n");
  }

  try {
    dblist.reset();
  } catch (...) {
    DebugOutput("CTarvoConduit::Finalize(): exception caught while deleting dblist.\n");
  }
  m_pHttp = nullptr;
  m_dlgprg.reset();
}
