#include "session.h"

namespace hotsync::detail {

Session& session() {
  // Never destroyed: a host that exits without disconnecting has its changes
  // in the journals already, and nothing may run after other statics died.
  static Session* const instance = new Session();
  return *instance;
}

}  // namespace hotsync::detail
