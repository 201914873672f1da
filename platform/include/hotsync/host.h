// What the host program (and tests) use to drive the platform: where files
// live, connecting a simulated handheld, the HotSync thread's event pump.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hotsync/syncmgr.h"

namespace hotsync {

// $XDG_DATA_HOME/tarvo-hotsync (default ~/.local/share/tarvo-hotsync), created on use.
HOTSYNC_EXPORT std::filesystem::path dataDir();
// dataDir()/users/<name>/ and its install queue folder.
HOTSYNC_EXPORT std::filesystem::path userDir(const std::string& user);
HOTSYNC_EXPORT std::filesystem::path userInstallDir(const std::string& user);
// The desktop HotSync log of a user.
HOTSYNC_EXPORT std::filesystem::path userLogFile(const std::string& user);
// One line of a desktop log as it is stored ("date time<TAB>code<TAB>text").
struct DesktopLogEntry {
  std::string time;  // "YYYY-MM-DD HH:MM:SS", local time
  int32_t activity = 0;
  std::string text;  // UTF-8
};
// Nothing for a line that is not an entry (edited by hand, cut short).
HOTSYNC_EXPORT std::optional<DesktopLogEntry> parseDesktopLogLine(const std::string& line);
HOTSYNC_EXPORT std::vector<std::string> users();  // in name order
// Makes the user's folders if missing; false with *error on a bad name.
HOTSYNC_EXPORT bool addUser(const std::string& user, std::string* error);

// The user whose desktop log LogAddEntry writes and whose queue the sync
// installs. Set by connectHandheld from the handheld's user name.
HOTSYNC_EXPORT void setCurrentUser(const std::string& user);
HOTSYNC_EXPORT std::string currentUser();

// Connects the simulated handheld in `dir`: reads device.conf, finds the
// cards, replays journals left by a killed process. False with a one-line
// *error when the folder is not a handheld.
HOTSYNC_EXPORT bool connectHandheld(const std::filesystem::path& dir, std::string* error);
// Makes the folder `dir` a simulated handheld running Palm OS 4.1, owned by
// `user` (empty: the default owner) with a user id of its own: writes its
// device.conf, `comment` as its first line. False with *error when it cannot.
HOTSYNC_EXPORT bool writeHandheldConfig(const std::filesystem::path& dir, const std::string& user,
                                        const std::string& comment, std::string* error);
// What the last connect skipped or refused (files that are no database,
// journal changes that could not apply), one line each, naming the file and
// the reason. Each is also in the user's desktop log.
HOTSYNC_EXPORT std::vector<std::string> connectWarnings();
// Every SyncCloseDB that changed a database writes its changes to the
// database's journal before returning, so a killed host loses nothing. With
// `flush` each of those writes is also forced to disk (fdatasync), which
// guards against a power cut as well at the price of one disk flush per
// close; off by default. Folding at disconnect always flushes.
HOTSYNC_EXPORT void setFlushEachClose(bool flush);
// Folds every change into the database files and forgets the handheld;
// a live handheld is told how the HotSync ended, which it shows.
enum class SyncEnd : uint16_t { Normal = 0, Cancelled = 2, Failed = 3 };
HOTSYNC_EXPORT void disconnectHandheld(SyncEnd end = SyncEnd::Normal);
HOTSYNC_EXPORT bool handheldConnected();
HOTSYNC_EXPORT std::filesystem::path handheldDir();
// Why the handheld went away before the HotSync ended (a network handheld
// that disappeared, or the end of the HotSync not reaching it); empty when
// it did not.
HOTSYNC_EXPORT std::string handheldLost();

// Removes a HotSync user: desktop log, install queue and, unless
// `keepBackups`, its backups (kept ones are no user, but restore finds them).
// False with *error when there is no such user or it cannot be removed.
HOTSYNC_EXPORT bool removeUser(const std::string& user, bool keepBackups, std::string* error);

// One file in a user's install queue.
struct QueuedFile {
  std::string file;      // its name in the queue
  std::string database;  // the database name it holds (UTF-8); empty when it is no database
  uintmax_t bytes = 0;
};
// The user's queue in install order.
HOTSYNC_EXPORT std::vector<QueuedFile> queuedFiles(const std::string& user);
// Queues a copy of `path` for `user` (Windows-1252, as the handheld writes
// it), as PltInstallFile does and with its results (0; -1 no such user; -2
// no file to copy; -3 the copy failed), with the reason in *why.
HOTSYNC_EXPORT int32_t queueInstall(const char* user, const char* path, std::string* why);
// Takes out of the user's queue the files named `name` (file name, or the
// database name they hold); returns the file names taken out.
HOTSYNC_EXPORT std::vector<std::string> removeQueuedFiles(const std::string& user, const std::string& name);

// Installs the files queued for the current user into the connected
// handheld: each valid database goes to card 0 (replacing a database of the
// same name), each invalid one is refused with a desktop log line and
// removed from the queue. Returns the number installed. *outcomes, when
// given, gets one entry per queued file.
struct InstallOutcome {
  std::string file;  // its name in the queue
  bool installed = false;
  std::string words;  // the line *messages got for it
};
HOTSYNC_EXPORT int installQueuedFiles(std::vector<std::string>* messages,
                                      std::vector<InstallOutcome>* outcomes = nullptr);

// -1: ask the system; 0: offline; 1: online.
HOTSYNC_EXPORT void setOnlineOverride(int mode);
// The last answer InternetGetConnectedState gave in this process: -1 never
// asked, 0 offline, 1 online.
HOTSYNC_EXPORT int lastConnectionCheck();

// One desktop log entry as LogAddEntry received it (text in UTF-8).
struct LogEntry {
  int32_t activity = 0;
  std::string text;
};
// The entries LogAddEntry took since the last call, in order (this process
// only, whether or not the file could be written): how the host learns what
// a conduit reported.
HOTSYNC_EXPORT std::vector<LogEntry> takeLogEntries();

// The host's Cancel for a running HotSync (a signal, a closed window): a
// flag that conduits look at while they yield. requestCancel is safe in a
// signal handler.
HOTSYNC_EXPORT void requestCancel() noexcept;
HOTSYNC_EXPORT bool cancelRequested() noexcept;
HOTSYNC_EXPORT void clearCancelRequest() noexcept;

// Said by a conduit's configuration or wizard front end that had nowhere to
// show (no display, no terminal), so the host can report that nothing was
// done rather than success.
HOTSYNC_EXPORT void reportNothingShown() noexcept;
HOTSYNC_EXPORT bool nothingShown() noexcept;

// Said by a conduit that needed a login and had nobody to ask it of (no
// display, no terminal), so the host can say why the server failed.
HOTSYNC_EXPORT void reportLoginNotAsked() noexcept;
HOTSYNC_EXPORT int loginsNotAsked() noexcept;

// The HotSync's progress as the conduit's progress dialog shows it: the bar
// in percent (0..100) and its task in words (UTF-8). The host's listener,
// when set, hears each change; it runs on the reporting thread.
HOTSYNC_EXPORT void reportProgress(int percent, const std::string& words) noexcept;
HOTSYNC_EXPORT void setProgressListener(std::function<void(int, const std::string&)> listener);

// The event pump SyncYieldCycles runs when called on the HotSync thread
// (the thread that calls setHotSyncThread). Empty: none.
HOTSYNC_EXPORT void setYieldPump(std::function<void()> pump);
HOTSYNC_EXPORT void setHotSyncThread();
// How many SyncYieldCycles calls there were since connecting (for tests).
HOTSYNC_EXPORT uint64_t yieldCount();

// The handheld's own HotSync log lines, as UTF-8.
HOTSYNC_EXPORT std::vector<std::string> handheldLog();
// What `user`'s last HotSync wrote into the handheld's own log, as UTF-8
// lines: a copy kept in the user's folder, since a handheld on a link keeps
// its log to itself.
HOTSYNC_EXPORT std::vector<std::string> keptHandheldLog(const std::string& user);

}  // namespace hotsync
