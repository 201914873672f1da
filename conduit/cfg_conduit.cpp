// CfgConduit: the host's configure action for one HotSync user.
#include <cstdint>
#include <cstring>

#include "conduit/conduit_export.h"
#include "conduit/front_end.h"
#include "hotsync/conduit_api.h"
#include "resources/trace.h"
#include "ui/props_conduit.h"

namespace {

constexpr int32_t kErrNoRecord = 0x1074;
constexpr int32_t kErrNoSize = 0x1078;
constexpr int32_t kErrBadArgsSize = 0x107A;
constexpr int32_t kErrBadFlag = 0x1079;
constexpr int32_t kErrBadVersion = 0x107B;
constexpr int32_t kErrFailed = -1;

}  // namespace

TARVO_EXPORT int32_t CfgConduit(int32_t cfgType, void* pArgs, uint32_t* pdwArgsSize) {
  if (pArgs == nullptr) return kErrNoRecord;
  if (pdwArgsSize == nullptr) return kErrNoSize;
  if (*pdwArgsSize != sizeof(CfgConduitInfoType)) return kErrBadArgsSize;
  if (cfgType != eConfig1) return kErrBadFlag;
  CfgConduitInfoType info;
  std::memcpy(&info, pArgs, sizeof info);
  if (info.dwVersion != 1) return kErrBadVersion;
  try {
    // The name ends at its zero or at the end of its field, whatever the host left there.
    const std::string user(info.szUser, strnlen(info.szUser, sizeof info.szUser));
    CPropsConduit sheet;
    sheet.SetUser(user);
    sheet.OnInitDialog();
    tarvo::conduit::ChooseConfigFrontEnd()->RunSheet(sheet);
    if (!sheet.Ended()) sheet.Cancel();

    int32_t next = 1;
    int32_t def = 1;
    sheet.GetActions(next, def);
    info.syncNew = next != 0 ? eFast : eDoNothing;
    info.syncPref = eTemporaryPreference;
    std::memcpy(pArgs, &info, sizeof info);
    return 0;
  } catch (...) {
    DebugOutput("CfgConduit: exception caught.\n");
    return kErrFailed;
  }
}
