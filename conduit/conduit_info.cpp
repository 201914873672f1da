// The exports that name and describe the conduit.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "conduit/conduit_export.h"
#include "hotsync/conduit_api.h"

namespace {

constexpr char kConduitName[] = "Tarvo";
constexpr uint32_t kConduitVersion = 0x00000101;
constexpr uint32_t kMfcVersion = 0x600;
constexpr uint32_t kDefaultAction = 0;

constexpr int32_t kErrNoOutput = 0x1071;
constexpr int32_t kErrNoOutputSize = 0x1077;
constexpr int32_t kErrNoInput = 0x1074;
constexpr int32_t kErrBadInput = 0x1075;
constexpr int32_t kErrBadOutputSize = 0x1073;
constexpr int32_t kErrUnknownInfo = 0x1070;

// Clears the whole buffer and copies as much of the name as leaves room
// for its terminating zero. A zero size writes nothing.
void CopyName(char* out, size_t size) {
  if (size == 0) return;
  std::memset(out, 0, size);
  std::memcpy(out, kConduitName, std::min(size - 1, sizeof kConduitName - 1));
}

}  // namespace

TARVO_EXPORT int32_t GetConduitName(char* name, uint16_t size) {
  if (name) CopyName(name, size);
  return 0;
}

TARVO_EXPORT uint32_t GetConduitVersion() { return kConduitVersion; }

TARVO_EXPORT int32_t ConfigureConduit(void* /*info*/) { return -1; }

TARVO_EXPORT int32_t GetConduitInfo(ConduitInfoEnum infoType, void* pInArgs, void* pOut, uint32_t* pdwOutSize) {
  if (!pOut) return kErrNoOutput;
  if (!pdwOutSize) return kErrNoOutputSize;
  switch (infoType) {
    case eConduitInfo: {
      if (!pInArgs) return kErrNoInput;
      ConduitRequestInfoType request;
      std::memcpy(&request, pInArgs, sizeof request);
      if (request.dwVersion != 1 || request.dwSize != 80) return kErrBadInput;
      CopyName(static_cast<char*>(pOut), *pdwOutSize);
      return 0;
    }
    case eMfcVersion:
    case eDefaultAction: {
      if (*pdwOutSize != sizeof(uint32_t)) return kErrBadOutputSize;
      const uint32_t value = infoType == eMfcVersion ? kMfcVersion : kDefaultAction;
      std::memcpy(pOut, &value, sizeof value);
      return 0;
    }
  }
  return kErrUnknownInfo;
}
