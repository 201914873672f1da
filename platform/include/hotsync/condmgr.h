// The conduit manager: four-character code conversions and the store of
// conduit registrations (creator -> values), kept in the host's data folder.
#pragma once

#include <cstdint>
#include <string>

#include "hotsync/syncmgr.h"

constexpr int32_t ERR_REGISTRY_ACCESS = -1001;
constexpr int32_t ERR_NO_CONDUIT = -1002;
constexpr int32_t ERR_INVALID_CREATOR = -1003;
constexpr int32_t ERR_CONDUIT_MGR = -1004;

// "Tarv" -> 0x54617276. 0 on success, ERR_INVALID_CREATOR when the text is
// not four characters.
HOTSYNC_API int32_t CmConvertStringToCreatorID(const char* text, uint32_t* code);
// 0x54617276 -> "Tarv" and a zero; *size is the buffer size in and out.
HOTSYNC_API int32_t CmConvertCreatorIDToString(uint32_t code, char* text, int32_t* size);

// Creates (or recreates, emptied) the registration of `creator`.
HOTSYNC_API int32_t CmInstallCreator(const char* creator, int32_t type);
// Text values of a registration; each fails with ERR_NO_CONDUIT when the
// creator has no registration.
HOTSYNC_API int32_t CmSetCreatorModule(const char* creator, const char* path);   // the library to load
HOTSYNC_API int32_t CmSetCreatorDirectory(const char* creator, const char* text);
HOTSYNC_API int32_t CmSetCreatorName(const char* creator, const char* text);
HOTSYNC_API int32_t CmSetCreatorFile(const char* creator, const char* text);
HOTSYNC_API int32_t CmSetCreatorRemote(const char* creator, const char* text);
HOTSYNC_API int32_t CmSetCreatorTitle(const char* creator, const char* text);
// The integer value of a registration.
HOTSYNC_API int32_t CmSetCreatorPriority(const char* creator, int32_t value);
// Removes the registration; ERR_NO_CONDUIT when there was none.
HOTSYNC_API int32_t CmRemoveConduitByCreatorID(const char* creator);

namespace hotsync {
// For the host: a stored text value ("module", "directory", "name", "file",
// "remote", "title") or integer value ("type", "priority"); empty/false when absent.
HOTSYNC_EXPORT bool registrationText(const std::string& creator, const std::string& key, std::string* value);
HOTSYNC_EXPORT bool registrationInt(const std::string& creator, const std::string& key, int32_t* value);
}  // namespace hotsync
