// The download both pput and conduit make: a safe name in the private
// temporary folder, the task line, the fetch and the save.
#include "engine/commands/command_values.h"
#include "engine/tarvo_conduit.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

std::string CTarvoConduit::DownloadToTemp(const std::string& url, const std::string& task) {
  const std::string path = tarvo::engine::DownloadPath(m_tempPath, url);
  if (path.empty()) {
    // Nothing is downloaded for a name that could not be saved safely.
    TarvoTrace("File from \"%s\" not saved: no safe name.", url.c_str());
    return {};
  }

  m_dlgprg->m_task = task;
  m_dlgprg->m_status.clear();
  m_dlgprg->Refresh();

  GetPage(url, "");
  const bool saved = SaveLastPage(path);
  if (saved) m_downloads.push_back(path);
  // The file holds the page now; a large download need not stay in memory too.
  std::string().swap(m_resultData);
  if (!saved || m_dlgprg->m_cancel) {
    TarvoTrace("File: \"%s\" not saved.", path.c_str());
    return {};
  }
  TarvoTrace("File saved as: \"%s\".", path.c_str());
  return path;
}
