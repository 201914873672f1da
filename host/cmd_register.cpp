// tarvo-hotsync register | unregister | conduits: what a registration tool
// does on Windows (load a library, call its self-registration export), and
// the registrations the host knows.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/conduit_loader.h"
#include "hotsync/condmgr.h"

namespace tarvo::host {
namespace {

constexpr const char* kRegisterHelp =
    "usage: tarvo-hotsync register FILE\n"
    "       tarvo-hotsync unregister FILE\n"
    "\n"
    "Loads the conduit library FILE and calls its DllRegisterServer (or\n"
    "DllUnregisterServer). The conduit stops the HotSync manager, writes (or\n"
    "removes) its registration and starts the manager again, which reads it.\n"
    "\n"
    "Exit status: 0 done, 1 bad input, 3 the export reported a failure, 7 FILE\n"
    "cannot be loaded or has no such export.\n";

constexpr const char* kConduitsHelp =
    "usage: tarvo-hotsync conduits\n"
    "\n"
    "Lists the conduit registrations: one line per creator, then its values;\n"
    "then the order a HotSync runs the conduits in (priority 0 first, 2 when\n"
    "not set, then by creator). A conduit runs when the handheld holds a\n"
    "database of its creator, or always when its registration says so.\n";

using SelfRegistrationFn = int32_t (*)();

}  // namespace

int commandRegister(int argc, char** argv) {
  const std::string verb = argv[0];
  cli::Args args;
  std::string error;
  if (!cli::parse(argc, argv, 1, {}, &args, &error)) return usageFail(verb, error);
  if (args.has("help")) {
    std::fputs(kRegisterHelp, stdout);
    return kExitOk;
  }
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
  const int32_t result = call();
  dlclose(library);
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

int commandConduits(int argc, char** argv) {
  cli::Args args;
  std::string error;
  if (!cli::parse(argc, argv, 1, {}, &args, &error)) return usageFail("conduits", error);
  if (args.has("help")) {
    std::fputs(kConduitsHelp, stdout);
    return kExitOk;
  }
  if (!args.positional.empty()) return usageFail("conduits", "unexpected argument " + args.positional[0]);
  std::map<std::string, std::map<std::string, std::string>> all;
  if (!hotsync::allRegistrations(&all)) return fail("cannot read the conduit registrations");
  if (all.empty()) std::printf("no conduit registered\n");
  for (const auto& [creator, values] : all) {
    std::printf("%s\n", creator.c_str());
    for (const auto& [key, value] : values) std::printf("  %-10s %s\n", key.c_str(), value.c_str());
  }
  std::vector<ScheduledConduit> order;
  if (!conduitOrder(&order, &error)) return fail(error);
  if (!order.empty()) std::printf("HotSync order:\n");
  int position = 0;
  for (const ScheduledConduit& conduit : order) {
    std::printf("  %d. %s  priority %d%s  %s%s\n", ++position, conduit.creator.c_str(), conduit.priority,
                conduit.always ? ", always" : "", conduit.path.c_str(), conduit.problem.empty() ? "" : "  (missing)");
  }
  return kExitOk;
}

}  // namespace tarvo::host
