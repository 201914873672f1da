// The resident manager's state as its socket describes it, and how each
// event of its stream changes it. Qt Core only: no widgets, so the windows
// and the tests share one reading of the manager.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

namespace tarvo::desktop {

// The only protocol version this program speaks.
constexpr int kProtocolVersion = 1;

struct PortState {
  QString port;       // as --port names it: "usb:", a tty path, "net:ADDR:PORT"
  QString link;       // usb, serial, network
  QString condition;  // waiting, busy, unavailable
  QString reason;     // unavailable only
  QString remedy;     // unavailable only, when there is one
  QDateTime since;
  int hotsync = 0;  // busy only
};

struct HotSyncState {
  int id = 0;
  QString origin;  // handheld, command
  QString port;
  QString link;
  QString user;  // empty until the handheld said who it is
  QString conduitCreator;
  QString conduitName;  // empty while no conduit runs
  int percent = 0;
  QString words;
  QDateTime queued;
  QDateTime started;
  // Ended HotSyncs only.
  QDateTime ended;
  int status = -1;
  QString result;  // ok, partial, cancelled, ... (the manager's word)
};

struct ManagerState {
  int pid = 0;
  bool quitting = false;
  std::vector<PortState> ports;
  std::optional<HotSyncState> running;
  std::vector<HotSyncState> queue;
  std::optional<HotSyncState> last;
};

// Reads the "state" object of a reply or of a stream's first event. Missing
// fields take their defaults; unknown ones are ignored.
ManagerState parseState(const QJsonObject& state);
HotSyncState parseHotSync(const QJsonObject& hotsync);
PortState parsePort(const QJsonObject& port);

// Applies one event of the stream; false for an event type this program
// does not know (ignored, as the protocol asks).
bool applyEvent(ManagerState& state, const QJsonObject& event);

// A HotSync that ended anything but well (its result word is not "ok").
bool failed(const HotSyncState& hotsync);

}  // namespace tarvo::desktop
