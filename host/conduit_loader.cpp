#include "host/conduit_loader.h"

#include <dlfcn.h>

#include <algorithm>
#include <map>

#include "host/conduit_switches.h"
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

bool conduitOrder(std::vector<ScheduledConduit>* order, std::string* error) {
  std::map<std::string, std::map<std::string, std::string>> all;
  if (!hotsync::allRegistrations(&all)) {
    *error = "cannot read the conduit registrations";
    return false;
  }
  ConduitSwitches switches;
  if (!readConduitSwitches(&switches, error)) return false;
  order->clear();
  for (const auto& [creator, values] : all) {
    const auto module = values.find("module");
    if (module == values.end() || module->second.empty()) continue;  // registered, but nothing to load
    ScheduledConduit conduit;
    conduit.creator = creator;
    conduit.path = resolveBesideHost(module->second);
    conduit.source = "registered for creator " + creator;
    int32_t value = 0;
    if (hotsync::registrationInt(creator, "priority", &value)) conduit.priority = value;
    conduit.always = hotsync::registrationInt(creator, "always", &value) && value != 0;
    conduit.off = switches.off.contains(creator);
    if (!isFile(conduit.path))
      conduit.problem = "the conduit registered for creator " + creator + " is missing: " + conduit.path.string();
    order->push_back(std::move(conduit));
  }
  const auto product = all.find("Tarv");
  const bool unregistered = product == all.end() || product->second.find("module") == product->second.end();
  if (unregistered && !switches.unregistered.contains("Tarv")) {
    if (const std::filesystem::path path = resolveBesideHost(kDefaultLibrary); isFile(path)) {
      order->push_back({"Tarv",
                        path,
                        "none registered for creator Tarv; the default beside the host",
                        0,
                        true,
                        {},
                        switches.off.contains("Tarv")});
    }
  }
  std::stable_sort(order->begin(), order->end(), [](const ScheduledConduit& a, const ScheduledConduit& b) {
    return a.priority != b.priority ? a.priority < b.priority : a.creator < b.creator;
  });
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
