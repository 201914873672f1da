// tarvo-hotsync register | unregister | conduits: what a registration tool
// does on Windows (load a library, call its self-registration export), and
// the registrations the host knows.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/conduit_loader.h"
#include "host/conduit_switches.h"
#include "hotsync/condmgr.h"

namespace tarvo::host {
namespace {

constexpr const char* kRegisterHelp =
    "Loads the conduit library FILE and calls its DllRegisterServer (or\n"
    "DllUnregisterServer). The conduit stops the HotSync manager, writes (or\n"
    "removes) its registration and starts the manager again, which reads it.\n"
    "\n"
    "Exit status: 0 done, 1 bad input, 3 the export reported a failure, 7 FILE\n"
    "cannot be loaded or has no such export.\n";

constexpr const char* kConduitsHelp =
    "Lists the conduit registrations: one line per creator, then its values;\n"
    "then the order a HotSync runs the conduits in (priority 0 first, 2 when\n"
    "not set, then by creator) and what each will do at the next HotSync. A\n"
    "conduit runs when the handheld holds a database of its creator, or\n"
    "always when its registration says so.\n"
    "\n"
    "  --disable CREATOR  turn the conduit of CREATOR (four characters) off:\n"
    "                     no HotSync runs it until --enable; a new\n"
    "                     registration of it keeps it off\n"
    "  --enable CREATOR   turn it on again\n"
    "  --json             the HotSync order for scripts: one JSON object per\n"
    "                     conduit, {\"position\", \"creator\", \"name\", \"priority\",\n"
    "                     \"always\", \"off\", \"path\", \"runs\", \"next\"}; \"runs\" is\n"
    "                     false when it will not run (off, its library missing)\n";

constexpr cli::Option kConduitsOptions[] = {
    {"disable", cli::Value, "CREATOR"},
    {"enable", cli::Value, "CREATOR"},
    {"json"},
};

// The creators registered now; empty when the store cannot be read.
std::set<std::string> registeredCreators() {
  std::map<std::string, std::map<std::string, std::string>> all;
  std::set<std::string> creators;
  if (!hotsync::allRegistrations(&all)) return creators;
  for (const auto& [creator, values] : all) {
    if (values.contains("module")) creators.insert(creator);
  }
  return creators;
}

// A registration removed by the user stays removed: the library beside the
// host no longer stands in for it, and the user unit does not register it
// again. Registering it anew lifts that.
void rememberRegistrationChange(bool unregistering, const std::set<std::string>& before,
                                const std::set<std::string>& after) {
  ConduitSwitches switches;
  std::string error;
  if (!readConduitSwitches(&switches, &error)) {
    std::fprintf(stderr, "tarvo-hotsync: %s\n", error.c_str());
    return;
  }
  bool changed = false;
  if (unregistering) {
    for (const std::string& creator : before) {
      if (!after.contains(creator)) changed |= switches.unregistered.insert(creator).second;
    }
  } else {
    for (const std::string& creator : after) changed |= switches.unregistered.erase(creator) > 0;
  }
  if (changed && !writeConduitSwitches(switches, &error)) std::fprintf(stderr, "tarvo-hotsync: %s\n", error.c_str());
}

// What the conduit will do at the next HotSync, in words.
std::string nextHotSync(const ScheduledConduit& conduit) {
  if (conduit.off) return "turned off: does not run (conduits --enable " + conduit.creator + ")";
  if (!conduit.problem.empty()) return "its library is missing: does not run";
  if (conduit.always) return "runs at every HotSync";
  return "runs when the handheld holds a database of creator " + conduit.creator;
}

// The HotSync order as `conduits --json` prints it: the same rows and words
// as the text, so a script and the Conduits window read one list.
int printConduitsJson(const std::map<std::string, std::map<std::string, std::string>>& all) {
  std::vector<ScheduledConduit> order;
  std::string error;
  if (!conduitOrder(&order, &error)) return fail(error);
  int position = 0;
  for (const ScheduledConduit& conduit : order) {
    const auto values = all.find(conduit.creator);
    const auto name = values == all.end() ? std::string() : [&] {
      const auto found = values->second.find("name");
      return found == values->second.end() ? std::string() : found->second;
    }();
    const nlohmann::json row = {{"position", ++position},
                                {"creator", conduit.creator},
                                {"name", name.empty() ? conduit.creator : name},
                                {"priority", conduit.priority},
                                {"always", conduit.always},
                                {"off", conduit.off},
                                {"path", conduit.path.string()},
                                {"runs", !conduit.off && conduit.problem.empty()},
                                {"next", nextHotSync(conduit)}};
    std::printf("%s\n", row.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  }
  return kExitOk;
}

using SelfRegistrationFn = int32_t (*)();

// register and unregister.
int runRegister(const CommandLine& line) {
  const std::string verb = line.command.name;
  const cli::Args& args = line.args;
  if (args.positional.size() != 1) return fail(verb + " needs one conduit library FILE (see --help)");
  std::error_code ec;
  // The registration names the file the library was loaded from, so it is
  // loaded by its absolute path.
  const std::filesystem::path file = std::filesystem::absolute(args.positional[0], ec);
  if (ec || !std::filesystem::is_regular_file(file, ec)) return fail("no conduit file " + args.positional[0]);
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (library == nullptr) {
    const char* text = dlerror();
    return fail(std::string("cannot load the conduit: ") + (text ? text : file.string()), kExitNoConduit);
  }
  const char* symbol = verb == "register" ? "DllRegisterServer" : "DllUnregisterServer";
  const auto call = reinterpret_cast<SelfRegistrationFn>(dlsym(library, symbol));
  if (call == nullptr) {
    dlclose(library);
    return fail(file.string() + " has no " + symbol, kExitNoConduit);
  }
  const std::set<std::string> before = registeredCreators();
  const int32_t result = call();
  dlclose(library);
  rememberRegistrationChange(verb == "unregister", before, registeredCreators());
  if (result < 0) {
    return fail(
        std::string(symbol) + " failed (0x" +
            [&] {
              char hex[9];
              std::snprintf(hex, sizeof hex, "%08x", static_cast<uint32_t>(result));
              return std::string(hex);
            }() +
            ")",
        kExitConduitFailed);
  }
  std::printf("%s %s\n", verb == "register" ? "registered" : "unregistered", file.c_str());
  return kExitOk;
}

int runConduits(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  if (args.has("disable") && args.has("enable"))
    return usageFail("conduits", "--disable and --enable exclude each other");
  if (args.has("disable") || args.has("enable")) {
    const bool off = args.has("disable");
    const std::string creator = args.value(off ? "disable" : "enable");
    uint32_t id = 0;
    if (CmConvertStringToCreatorID(creator.c_str(), &id) != 0)
      return usageFail("conduits", "a creator is four characters, not \"" + creator + "\"");
    ConduitSwitches switches;
    if (!readConduitSwitches(&switches, &error)) return fail(error);
    if (off)
      switches.off.insert(creator);
    else
      switches.off.erase(creator);
    if (!writeConduitSwitches(switches, &error)) return fail(error);
    std::printf("conduit %s turned %s\n", creator.c_str(), off ? "off: no HotSync runs it" : "on");
    if (!off && switches.unregistered.contains(creator) && !registeredCreators().contains(creator))
      std::printf("it is not registered: register it with tarvo-hotsync register FILE\n");
    return kExitOk;
  }
  std::map<std::string, std::map<std::string, std::string>> all;
  if (!hotsync::allRegistrations(&all)) return fail("cannot read the conduit registrations");
  if (args.has("json")) return printConduitsJson(all);
  std::vector<ScheduledConduit> order;
  if (!conduitOrder(&order, &error)) return fail(error);
  // With nothing registered ever, the conduit installed beside the host
  // stands in; say so rather than "none" above a conduit that will run.
  if (all.empty())
    std::printf(order.empty() ? "no conduit registered\n"
                              : "no conduit registered; the one installed beside the host stands in\n");
  for (const auto& [creator, values] : all) {
    std::printf("%s\n", creator.c_str());
    for (const auto& [key, value] : values) std::printf("  %-10s %s\n", key.c_str(), value.c_str());
  }
  if (!order.empty()) std::printf("HotSync order:\n");
  int position = 0;
  for (const ScheduledConduit& conduit : order) {
    std::printf("  %d. %s  priority %d%s  %s\n     next HotSync: %s\n", ++position, conduit.creator.c_str(),
                conduit.priority, conduit.always ? ", always" : "", conduit.path.c_str(), nextHotSync(conduit).c_str());
  }
  ConduitSwitches switches;
  if (readConduitSwitches(&switches, &error)) {
    for (const std::string& creator : switches.unregistered) {
      if (!all.contains(creator))
        std::printf("%s was unregistered: no HotSync runs it (tarvo-hotsync register FILE)\n", creator.c_str());
    }
  }
  return kExitOk;
}

}  // namespace

const Command kRegisterCommand = {
    "register",  "FILE",      "register a conduit library (calls its DllRegisterServer)", kRegisterHelp, "", {},
    Words::Some, runRegister,
};

const Command kUnregisterCommand = {
    "unregister", "FILE",      "remove a conduit's registration (calls its DllUnregisterServer)", kRegisterHelp, "", {},
    Words::Some,  runRegister,
};

const Command kConduitsCommand = {
    "conduits",
    "[--disable CREATOR | --enable CREATOR | --json]",
    "the conduit registrations, the order a HotSync runs them in; turn one off or on",
    kConduitsHelp,
    "",
    kConduitsOptions,
    Words::None,
    runConduits,
};

}  // namespace tarvo::host
