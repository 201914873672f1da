// The conduit's registration with the host's conduit manager: the values
// that make the host load this library for creator "Tarv".
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::setup {

// The conduit manager operations registration uses, so tests can watch them.
class ConduitManager {
 public:
  virtual ~ConduitManager() = default;
  virtual int32_t beginUpdate() = 0;
  virtual int32_t endUpdate() = 0;
  virtual int32_t installCreator(const char* creator, int32_t type) = 0;
  virtual int32_t setModule(const char* creator, const char* path) = 0;
  virtual int32_t setDirectory(const char* creator, const char* text) = 0;
  virtual int32_t setName(const char* creator, const char* text) = 0;
  virtual int32_t setFile(const char* creator, const char* text) = 0;
  virtual int32_t setRemote(const char* creator, const char* text) = 0;
  virtual int32_t setPriority(const char* creator, int32_t value) = 0;
  virtual int32_t setTitle(const char* creator, const char* text) = 0;
  virtual int32_t remove(const char* creator) = 0;
};

// The host's conduit manager (libhotsync).
ConduitManager& platformConduitManager();

// The creator the conduit registers for, and the name it reports.
inline constexpr char kCreator[] = "Tarv";
inline constexpr char kConduitName[] = "Tarvo";

// Writes the eight values of the registration in their order, stopping at
// the first negative status, which is returned; else step 8's status.
int32_t registerConduit(ConduitManager& manager, const std::string& libraryPath);
// Removes the registrations of "sync" and "Tarv" (results ignored).
void removeRegistrations(ConduitManager& manager);

}  // namespace tarvo::setup
