#include "host/log_entry.h"

#include "hotsync/hslog.h"

namespace tarvo::host {

std::string activityWord(int32_t activity) {
  switch (activity) {
    case slText:
      return "texto";
    case slSyncAborted:
      return "cancelado";
    case slSyncStarted:
      return "início";
    case slSyncFinished:
      return "fim";
    case slWarning:
      return "aviso";
    default:
      return {};
  }
}

}  // namespace tarvo::host
