// Where the host and a conduit meet: the types of the conduit's exports, as
// the HotSync host calls them. Fixed-width types keep the Windows widths.
#pragma once

#include <cstddef>
#include <cstdint>

// The host's progress callback: shows one line in its progress window.
typedef int32_t (*PROGRESSFN)(const char* text);

enum eSyncTypes : int32_t { eFast = 0, eSlow, eHHtoPC, ePCtoHH, eInstall, eBackup, eDoNothing, eProfileInstall };

#pragma pack(push, 1)
// The sync properties the host passes to OpenConduit.
struct CSyncProperties {
  int32_t m_SyncType;        // 0   eSyncTypes
  char m_PathName[256];      // 4   the user's folder on the desktop
  char m_LocalName[256];     // 260 local file name
  char m_UserName[256];      // 516 the HotSync user: the install target of queued files
  char m_RemoteNames[256];   // 772 not used
  uint32_t m_nRemoteCount;   // 1028
  uint32_t m_Creator;        // 1032 the creator the conduit is registered for
  uint16_t m_CardNo;         // 1036
  uint32_t m_DbType;         // 1038
  uint32_t m_AppInfoSize;    // 1042
  uint32_t m_SortInfoSize;   // 1046
  uint32_t m_FirstDevice;    // 1050
  uint32_t m_Connection;     // 1054
  char m_Registry[256];      // 1058
  uint32_t m_hKey;           // 1314
  uint32_t m_dwReserved[4];  // 1318
};
static_assert(offsetof(CSyncProperties, m_UserName) == 516);
static_assert(sizeof(CSyncProperties) == 1334);
#pragma pack(pop)

enum ConduitInfoEnum : int32_t { eConduitInfo = 0, eMfcVersion = 1, eDefaultAction = 2 };

// The first two words of GetConduitInfo's input for eConduitInfo.
struct ConduitRequestInfoType {
  uint32_t dwVersion;  // 1
  uint32_t dwSize;     // 80
};

// What the host tells CfgConduit about the user to configure, and what the
// conduit answers in it.
enum ConduitCfgEnum : int32_t { eConfig1 = 0 };
enum eSyncPref : int32_t { eNoPreference = 0, ePermanentPreference, eTemporaryPreference };

#pragma pack(push, 1)
struct CfgConduitInfoType {
  uint32_t dwVersion;     // 0   must be 1
  uint32_t dwSize;        // 4
  uint32_t dwCreatorId;   // 8
  uint32_t dwUserId;      // 12
  char szUser[64];        // 16  the HotSync user, Windows-1252
  char m_PathName[256];   // 80  the user's folder
  int32_t syncPermanent;  // 336 eSyncTypes
  int32_t syncTemporary;  // 340 eSyncTypes
  int32_t syncNew;        // 344 written: the action of the next HotSync (eFast or eDoNothing)
  int32_t syncPref;       // 348 written: eSyncPref, how long that action holds
};
static_assert(offsetof(CfgConduitInfoType, szUser) == 16);
static_assert(offsetof(CfgConduitInfoType, syncNew) == 344);
static_assert(offsetof(CfgConduitInfoType, syncPref) == 348);
static_assert(sizeof(CfgConduitInfoType) == 352);
#pragma pack(pop)

// Export signatures, for dlsym.
extern "C" {
typedef int32_t (*OpenConduitFn)(PROGRESSFN, CSyncProperties&);
typedef int32_t (*GetConduitNameFn)(char*, uint16_t);
typedef uint32_t (*GetConduitVersionFn)();
typedef int32_t (*GetConduitInfoFn)(ConduitInfoEnum, void*, void*, uint32_t*);
typedef int32_t (*ConfigureConduitFn)(void*);
typedef int32_t (*CfgConduitFn)(int32_t, void*, uint32_t*);
// The command-line entry: window, instance, command line, show state.
typedef void (*WizardFn)(void*, void*, const char*, int32_t);
}
