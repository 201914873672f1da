// The conduit manager: four-character code conversions and the store of
// conduit registrations (creator -> values), kept in the host's data folder.
#pragma once

#include <cstdint>
#include <map>
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
HOTSYNC_API int32_t CmSetCreatorModule(const char* creator, const char* path);  // the library to load
HOTSYNC_API int32_t CmSetCreatorDirectory(const char* creator, const char* text);
HOTSYNC_API int32_t CmSetCreatorName(const char* creator, const char* text);
HOTSYNC_API int32_t CmSetCreatorFile(const char* creator, const char* text);
HOTSYNC_API int32_t CmSetCreatorRemote(const char* creator, const char* text);
HOTSYNC_API int32_t CmSetCreatorTitle(const char* creator, const char* text);
// The integer values of a registration. Priority: 0 runs first, 4 last
// (2 when not set). Run always: nonzero makes a HotSync run the conduit even
// when the handheld holds no database of its creator.
HOTSYNC_API int32_t CmSetCreatorPriority(const char* creator, int32_t value);
HOTSYNC_API int32_t CmSetCreatorRunAlways(const char* creator, int32_t value);
// Removes the registration; ERR_NO_CONDUIT when there was none.
HOTSYNC_API int32_t CmRemoveConduitByCreatorID(const char* creator);

// Groups the changes that follow, made by this process, into one write of
// the store: until CmEndUpdate they change a copy, held under the store's
// lock so no other process changes it meanwhile; CmEndUpdate writes the
// copy at once. A process that dies in between leaves the store as it was.
// ERR_CONDUIT_MGR when an update is open already / none is open.
HOTSYNC_API int32_t CmBeginUpdate();
HOTSYNC_API int32_t CmEndUpdate();

namespace hotsync {
// For the host: a stored text value ("module", "directory", "name", "file",
// "remote", "title") or integer value ("type", "priority", "always"); empty/false when absent.
HOTSYNC_EXPORT bool registrationText(const std::string& creator, const std::string& key, std::string* value);
HOTSYNC_EXPORT bool registrationInt(const std::string& creator, const std::string& key, int32_t* value);
// Every registration: creator -> (key -> value). False when the store cannot be read.
HOTSYNC_EXPORT bool allRegistrations(std::map<std::string, std::map<std::string, std::string>>* out);
}  // namespace hotsync
