// A second conduit for the host's tests, registered beside the first to see
// the order conduits run in and what one conduit's failure does to the next.
// It reports through the progress callback with lines starting "second:".
//
// Environment:
//   TARVO_SECOND_FAIL  "result": OpenConduit returns -1; "throw": it lets an
//                      exception out of the export
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "hotsync/conduit_api.h"
#include "hotsync/hslog.h"
#include "hotsync/syncmgr.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

STUB_EXPORT int32_t OpenConduit(PROGRESSFN progress, CSyncProperties& props) {
  std::string creator;
  for (int shift = 24; shift >= 0; shift -= 8) creator += static_cast<char>(props.m_Creator >> shift);
  uint32_t handle = 0;
  SyncRegisterConduit(&handle);
  progress(("second: ran for " + creator).c_str());
  LogAddEntry(("Second conduit ran for " + creator).c_str(), slText, 0);
  SyncUnRegisterConduit(handle);
  const char* failure = std::getenv("TARVO_SECOND_FAIL");
  if (failure != nullptr && std::strcmp(failure, "throw") == 0) throw std::runtime_error("second conduit broke");
  if (failure != nullptr && std::strcmp(failure, "result") == 0) return -1;
  return 0;
}

STUB_EXPORT int32_t GetConduitName(char* name, uint16_t size) {
  if (size == 0) return 0;
  std::memset(name, 0, size);
  std::strncpy(name, "SecondConduit", size - 1);
  return 0;
}
