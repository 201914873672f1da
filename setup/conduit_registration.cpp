#include "setup/conduit_registration.h"

#include "hotsync/condmgr.h"

namespace tarvo::setup {
namespace {

class PlatformConduitManager final : public ConduitManager {
 public:
  int32_t beginUpdate() override { return CmBeginUpdate(); }
  int32_t endUpdate() override { return CmEndUpdate(); }
  int32_t installCreator(const char* c, int32_t type) override { return CmInstallCreator(c, type); }
  int32_t setModule(const char* c, const char* t) override { return CmSetCreatorModule(c, t); }
  int32_t setDirectory(const char* c, const char* t) override { return CmSetCreatorDirectory(c, t); }
  int32_t setName(const char* c, const char* t) override { return CmSetCreatorName(c, t); }
  int32_t setFile(const char* c, const char* t) override { return CmSetCreatorFile(c, t); }
  int32_t setRemote(const char* c, const char* t) override { return CmSetCreatorRemote(c, t); }
  int32_t setPriority(const char* c, int32_t v) override { return CmSetCreatorPriority(c, v); }
  int32_t setTitle(const char* c, const char* t) override { return CmSetCreatorTitle(c, t); }
  int32_t remove(const char* c) override { return CmRemoveConduitByCreatorID(c); }
};

}  // namespace

ConduitManager& platformConduitManager() {
  static PlatformConduitManager manager;
  return manager;
}

int32_t registerConduit(ConduitManager& m, const std::string& libraryPath) {
  const char* c = kCreator;
  int32_t status = m.installCreator(c, 1);
  if (status < 0) return status;
  if ((status = m.setModule(c, libraryPath.c_str())) < 0) return status;
  if ((status = m.setDirectory(c, "")) < 0) return status;
  if ((status = m.setName(c, kConduitName)) < 0) return status;
  if ((status = m.setFile(c, "")) < 0) return status;
  if ((status = m.setRemote(c, "")) < 0) return status;
  if ((status = m.setPriority(c, 0)) < 0) return status;
  return m.setTitle(c, "");
}

void removeRegistrations(ConduitManager& m) {
  m.remove("sync");
  m.remove(kCreator);
}

}  // namespace tarvo::setup
