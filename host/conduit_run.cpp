#include "host/conduit_run.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "host/cancel_signals.h"
#include "host/commands.h"
#include "host/conduit_loader.h"
#include "host/handheld_reader.h"
#include "host/sync_report.h"
#include "hotsync/condmgr.h"
#include "hotsync/host.h"
#include "hotsync/hslog.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

int32_t printProgress(const char* text) {
  std::printf("  %s\n", Cp1252ToUtf8(text ? text : "").c_str());
  std::fflush(stdout);
  return 0;
}

void copyText(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), text.size() < size ? text.size() : size - 1);
}

void logLine(const std::string& line, int32_t activity) { LogAddEntry(Utf8ToCp1252(line).c_str(), activity, 0); }

// What the conduit reported in the desktop log during OpenConduit, shown
// here as well; failures decide the exit status.
struct Reported {
  int failures = 0;
  std::string firstFailure;  // the conduit's own words for it (a server not reached...)
  bool aborted = false;
};

Reported showLogEntries(const std::vector<hotsync::LogEntry>& entries) {
  Reported reported;
  for (const hotsync::LogEntry& entry : entries) {
    if (entry.activity == slWarning || entry.activity == slSyncAborted) {
      std::fflush(stdout);
      std::fprintf(stderr, "tarvo-hotsync: %s\n", entry.text.c_str());
      if (entry.activity == slWarning && reported.failures++ == 0) reported.firstFailure = entry.text;
      if (entry.activity == slSyncAborted) reported.aborted = true;
    } else if (entry.activity == slText && !entry.text.empty()) {
      std::printf("log: %s\n", entry.text.c_str());
    }
  }
  return reported;
}

// Loads one conduit and runs its OpenConduit on the connected handheld;
// the exit status its outcome alone would give.
int runOne(const ScheduledConduit& scheduled, const std::string& user, std::string* label) {
  *label = scheduled.path.filename().string();
  std::printf("conduit: %s (%s)\n", scheduled.path.c_str(), scheduled.source.c_str());
  std::string error = scheduled.problem;
  LoadedConduit conduit;
  if (!error.empty() || !conduit.load(scheduled.path, &error)) {
    fail(error);
    logLine("Conduit " + *label + " not run: " + error, slWarning);
    hotsync::takeLogEntries();
    reportConduitStarted(scheduled.creator, *label);
    reportConduitEnded(scheduled.creator, *label, kExitNoConduit, "not run: " + error);
    return kExitNoConduit;
  }
  if (conduit.getConduitName != nullptr) {
    char name[64] = {};
    conduit.getConduitName(name, sizeof name);
    if (name[0] != 0) *label = Cp1252ToUtf8(name);
    std::printf("conduit name: %s\n", Cp1252ToUtf8(name).c_str());
  }

  // The Windows layout: narrow texts the conduit sees are Windows-1252.
  CSyncProperties props{};
  props.m_SyncType = eFast;
  copyText(props.m_UserName, sizeof props.m_UserName, Utf8ToCp1252(user));
  copyText(props.m_PathName, sizeof props.m_PathName, hotsync::userDir(user).string() + "/");
  CmConvertStringToCreatorID(scheduled.creator.c_str(), &props.m_Creator);
  props.m_FirstDevice = 1;

  logLine("Conduit " + *label + " started", slText);
  reportConduitStarted(scheduled.creator, *label);
  hotsync::takeLogEntries();  // only what the conduit writes counts
  int32_t result = 0;
  std::string thrown;
  try {
    result = conduit.openConduit(printProgress, props);
  } catch (const std::exception& e) {
    thrown = e.what();
  } catch (...) {
    thrown = "an unknown exception";
  }
  conduit.unload();
  const Reported reported = showLogEntries(hotsync::takeLogEntries());
  if (!thrown.empty()) {
    const std::string line = "Conduit " + *label + " failed: OpenConduit let out " + thrown;
    fail(line);
    logLine(line, slWarning);
    hotsync::takeLogEntries();
    reportConduitEnded(scheduled.creator, *label, kExitConduitFailed, line);
    return kExitConduitFailed;
  }
  std::printf("OpenConduit returned %d\n", result);
  int status = kExitOk;
  if (result != 0 && result != 1) {
    fail("the conduit reported a failure (" + std::to_string(result) + ")");
    status = kExitConduitFailed;
  } else if (reported.aborted || CancelSignals::Received() != 0) {
    status = kExitCancelled;
  } else if (result == 0 && hotsync::lastConnectionCheck() == 0) {
    status = kExitOffline;
  } else if (reported.failures > 0) {
    status = kExitServersFailed;
  }
  const std::string outcome = status == kExitConduitFailed
                                  ? "failed (OpenConduit returned " + std::to_string(result) + ")"
                              : status == kExitCancelled ? "cancelled"
                                                         : "finished";
  logLine("Conduit " + *label + " " + outcome, status == kExitConduitFailed ? slWarning : slText);
  hotsync::takeLogEntries();
  // Whoever shows the end says why it failed, in the conduit's own words.
  const std::string why = status != kExitOk && status != kExitCancelled && !reported.firstFailure.empty()
                              ? ": " + reported.firstFailure
                              : "";
  reportConduitEnded(scheduled.creator, *label, status, "Conduit " + *label + " " + outcome + why);
  return status;
}

}  // namespace

int runConduits(const std::string& explicitConduit, const std::string& user, std::set<uint32_t>* handled) {
  std::vector<ScheduledConduit> order;
  std::string error;
  if (!explicitConduit.empty()) {
    ConduitChoice choice;
    if (!chooseConduit(explicitConduit, &choice, &error)) return fail(error, kExitNoConduit);
    order.push_back({"Tarv", choice.path, choice.source, 0, true, {}, false});
  } else if (!conduitOrder(&order, &error)) {
    return fail(error, kExitNoConduit);
  }
  if (order.empty()) {
    return fail("no conduit to run: none is registered (tarvo-hotsync conduits)", kExitNoConduit);
  }
  std::set<uint32_t> present;
  std::vector<DbHeader> all;
  if (!listDatabases(&all, &error)) return fail(error, kExitHandheldLost);
  for (const DbHeader& header : all) present.insert(header.creator);

  std::vector<int> outcomes;
  for (const ScheduledConduit& conduit : order) {
    uint32_t creator = 0;
    CmConvertStringToCreatorID(conduit.creator.c_str(), &creator);
    if (!conduit.always && !present.contains(creator)) continue;
    if (conduit.off) {
      std::printf("conduit %s is turned off (tarvo-hotsync conduits --enable %s)\n", conduit.creator.c_str(),
                  conduit.creator.c_str());
      continue;
    }
    if (hotsync::cancelRequested() || !hotsync::handheldLost().empty()) break;
    std::string label;
    const int status = runOne(conduit, user, &label);
    outcomes.push_back(status);
    if (status == kExitOk || status == kExitOffline || status == kExitServersFailed) handled->insert(creator);
    if (status == kExitCancelled) return kExitCancelled;
  }
  if (outcomes.empty()) {
    std::printf("no conduit ran: none that is turned on has databases on this handheld\n");
    return kExitOk;
  }
  // One conduit: its own outcome. Several: any failure is "some could not be done".
  if (outcomes.size() == 1) return outcomes[0];
  bool offline = false;
  for (const int status : outcomes) {
    if (status != kExitOk && status != kExitOffline) return kExitServersFailed;
    offline = offline || status == kExitOffline;
  }
  return offline ? kExitOffline : kExitOk;
}

}  // namespace tarvo::host
