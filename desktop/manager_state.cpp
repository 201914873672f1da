#include "desktop/manager_state.h"

#include <QJsonArray>
#include <algorithm>

namespace tarvo::desktop {
namespace {

QDateTime time(const QJsonObject& object, const char* name) {
  return QDateTime::fromString(object.value(QLatin1String(name)).toString(), Qt::ISODate);
}

QString text(const QJsonObject& object, const char* name) { return object.value(QLatin1String(name)).toString(); }

int number(const QJsonObject& object, const char* name, int fallback = 0) {
  return object.value(QLatin1String(name)).toInt(fallback);
}

HotSyncState* byId(ManagerState& state, int id) {
  if (state.running && state.running->id == id) return &*state.running;
  return nullptr;
}

}  // namespace

PortState parsePort(const QJsonObject& port) {
  PortState parsed;
  parsed.port = text(port, "port");
  parsed.link = text(port, "link");
  parsed.condition = text(port, "condition");
  parsed.reason = text(port, "reason");
  parsed.remedy = text(port, "remedy");
  parsed.since = time(port, "since");
  parsed.hotsync = number(port, "hotsync");
  return parsed;
}

HotSyncState parseHotSync(const QJsonObject& hotsync) {
  HotSyncState parsed;
  parsed.id = number(hotsync, "id");
  parsed.origin = text(hotsync, "origin");
  parsed.port = text(hotsync, "port");
  parsed.link = text(hotsync, "link");
  parsed.user = text(hotsync, "user");
  const QJsonObject conduit = hotsync.value(QLatin1String("conduit")).toObject();
  parsed.conduitCreator = text(conduit, "creator");
  parsed.conduitName = text(conduit, "name");
  parsed.percent = number(hotsync, "percent");
  parsed.words = text(hotsync, "words");
  parsed.queued = time(hotsync, "queued");
  parsed.started = time(hotsync, "started");
  parsed.ended = time(hotsync, "ended");
  parsed.status = number(hotsync, "status", -1);
  parsed.result = text(hotsync, "result");
  return parsed;
}

ManagerState parseState(const QJsonObject& state) {
  ManagerState parsed;
  const QJsonObject manager = state.value(QLatin1String("manager")).toObject();
  parsed.pid = number(manager, "pid");
  parsed.quitting = manager.value(QLatin1String("quitting")).toBool();
  for (const QJsonValue port : state.value(QLatin1String("ports")).toArray())
    parsed.ports.push_back(parsePort(port.toObject()));
  if (state.value(QLatin1String("hotsync")).isObject())
    parsed.running = parseHotSync(state.value(QLatin1String("hotsync")).toObject());
  for (const QJsonValue queued : state.value(QLatin1String("queue")).toArray())
    parsed.queue.push_back(parseHotSync(queued.toObject()));
  if (state.value(QLatin1String("last")).isObject())
    parsed.last = parseHotSync(state.value(QLatin1String("last")).toObject());
  return parsed;
}

bool applyEvent(ManagerState& state, const QJsonObject& event) {
  const QString type = text(event, "event");
  const int id = number(event, "hotsync");
  if (type == QLatin1String("state")) {
    state = parseState(event.value(QLatin1String("state")).toObject());
  } else if (type == QLatin1String("port")) {
    const PortState port = parsePort(event.value(QLatin1String("port")).toObject());
    auto at =
        std::find_if(state.ports.begin(), state.ports.end(), [&](const PortState& p) { return p.port == port.port; });
    if (port.condition == QLatin1String("removed")) {
      if (at != state.ports.end()) state.ports.erase(at);
    } else if (at != state.ports.end()) {
      *at = port;
    } else {
      state.ports.push_back(port);
    }
  } else if (type == QLatin1String("queued")) {
    state.queue.push_back(parseHotSync(event.value(QLatin1String("hotsync")).toObject()));
  } else if (type == QLatin1String("dropped")) {
    std::erase_if(state.queue, [&](const HotSyncState& h) { return h.id == id; });
    if (state.running && state.running->id == id) state.running.reset();
  } else if (type == QLatin1String("started")) {
    HotSyncState started = parseHotSync(event.value(QLatin1String("hotsync")).toObject());
    std::erase_if(state.queue, [&](const HotSyncState& h) { return h.id == started.id; });
    state.running = std::move(started);
  } else if (type == QLatin1String("user")) {
    if (HotSyncState* h = byId(state, id)) h->user = text(event, "user");
  } else if (type == QLatin1String("conduit-started")) {
    if (HotSyncState* h = byId(state, id)) {
      const QJsonObject conduit = event.value(QLatin1String("conduit")).toObject();
      h->conduitCreator = text(conduit, "creator");
      h->conduitName = text(conduit, "name");
    }
  } else if (type == QLatin1String("conduit-ended")) {
    if (HotSyncState* h = byId(state, id)) {
      h->conduitCreator.clear();
      h->conduitName.clear();
    }
  } else if (type == QLatin1String("progress")) {
    if (HotSyncState* h = byId(state, id)) {
      h->percent = std::max(h->percent, number(event, "percent"));
      if (event.contains(QLatin1String("words"))) h->words = text(event, "words");
    }
  } else if (type == QLatin1String("ended")) {
    HotSyncState ended = parseHotSync(event.value(QLatin1String("hotsync")).toObject());
    if (state.running && state.running->id == ended.id) state.running.reset();
    state.last = std::move(ended);
  } else if (type == QLatin1String("quitting")) {
    state.quitting = true;
  } else if (type == QLatin1String("install") || type == QLatin1String("installing") ||
             type == QLatin1String("backing-up") || type == QLatin1String("backup") ||
             type == QLatin1String("reloaded")) {
    // Nothing of the state changes; the HotSync's report takes them.
  } else {
    return false;
  }
  return true;
}

bool failed(const HotSyncState& hotsync) { return hotsync.result != QLatin1String("ok"); }

}  // namespace tarvo::desktop
