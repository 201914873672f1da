#include "host/conduit_loader.h"

#include <dlfcn.h>

#include "hotsync/condmgr.h"

namespace tarvo::host {
namespace {

constexpr const char* kDefaultLibrary = "libtarvoconduit.so";

bool isFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// A registered module name without a folder is looked for where the host
// keeps its libraries, as the HotSync Manager looks in its own folder.
std::filesystem::path resolveBesideHost(const std::filesystem::path& name) {
  if (name.is_absolute()) return name;
  const std::filesystem::path dir = programDir();
  for (const auto& candidate : {dir / ".." / "lib" / name, dir / name}) {
    if (isFile(candidate)) return candidate.lexically_normal();
  }
  return name;
}

}  // namespace

std::filesystem::path programDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

bool chooseConduit(const std::string& explicitPath, ConduitChoice* choice, std::string* error) {
  if (!explicitPath.empty()) {
    if (!isFile(explicitPath)) {
      *error = "no conduit file " + explicitPath;
      return false;
    }
    choice->path = explicitPath;
    choice->source = "given with --conduit";
    return true;
  }
  std::string registered;
  if (hotsync::registrationText("Tarv", "module", &registered) && !registered.empty()) {
    const std::filesystem::path path = resolveBesideHost(registered);
    if (!isFile(path)) {
      *error = "the conduit registered for creator Tarv is missing: " + path.string();
      return false;
    }
    choice->path = path;
    choice->source = "registered for creator Tarv";
    return true;
  }
  const std::filesystem::path path = resolveBesideHost(kDefaultLibrary);
  if (!isFile(path)) {
    *error = std::string("no conduit registered for creator Tarv and no ") + kDefaultLibrary + " beside the host";
    return false;
  }
  choice->path = path;
  choice->source = "none registered for creator Tarv; the default beside the host";
  return true;
}

LoadedConduit::~LoadedConduit() { unload(); }

bool LoadedConduit::load(const std::filesystem::path& path, std::string* error) {
  unload();
  // The conduit's own libraries (libcurl, OpenSSL) keep process-wide state
  // and exit hooks; unmapping them when the HotSync ends would leave those
  // pointing at nothing, so the code stays mapped after dlclose.
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr) {
    const char* text = dlerror();
    *error = std::string("cannot load the conduit: ") + (text ? text : path.string());
    return false;
  }
  openConduit = reinterpret_cast<OpenConduitFn>(dlsym(handle_, "OpenConduit"));
  getConduitName = reinterpret_cast<GetConduitNameFn>(dlsym(handle_, "GetConduitName"));
  getConduitVersion = reinterpret_cast<GetConduitVersionFn>(dlsym(handle_, "GetConduitVersion"));
  cfgConduit = reinterpret_cast<CfgConduitFn>(dlsym(handle_, "CfgConduit"));
  wizard = reinterpret_cast<WizardFn>(dlsym(handle_, "Wizard"));
  if (openConduit == nullptr) {
    *error = "the conduit " + path.string() + " has no OpenConduit";
    unload();
    return false;
  }
  return true;
}

void LoadedConduit::unload() {
  openConduit = nullptr;
  getConduitName = nullptr;
  getConduitVersion = nullptr;
  cfgConduit = nullptr;
  wizard = nullptr;
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace tarvo::host
