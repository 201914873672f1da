// Lines of the manager's event stream as its socket sends them, for the
// desktop tests: one HotSync of Ana Souza over the network, start to end.
#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

namespace tarvo::test {

inline const QByteArray kFirstState =
    R"({"v":1,"event":"state","seq":41,"time":"2026-12-08T18:00:00Z","state":{"manager":{"pid":4711,"started":"2026-12-08T17:02:11Z","quitting":false},"ports":[{"port":"usb:","link":"usb","condition":"waiting","since":"2026-12-08T17:02:11Z"},{"port":"/dev/ttyS0","link":"serial","condition":"unavailable","since":"2026-12-08T17:02:11Z","reason":"/dev/ttyS0: Permission denied","remedy":"add yourself to the dialout group (sudo adduser $USER dialout) and log in again"},{"port":"net:127.0.0.1:14238","link":"network","condition":"waiting","since":"2026-12-08T17:02:11Z"}],"hotsync":null,"queue":[],"last":null}})";

// Each line of one HotSync, from queued to the `ended` line (status given).
inline QList<QByteArray> hotSyncLines(int id, int status, const char* result, const char* words) {
  const QByteArray n = QByteArray::number(id);
  return {
      R"({"v":1,"event":"queued","seq":42,"time":"2026-12-08T18:02:00Z","hotsync":{"id":)" + n +
          R"(,"origin":"handheld","port":"net:127.0.0.1:14238","link":"network","queued":"2026-12-08T18:02:00Z"}})",
      R"({"v":1,"event":"started","seq":43,"time":"2026-12-08T18:02:00Z","hotsync":{"id":)" + n +
          R"(,"origin":"handheld","port":"net:127.0.0.1:14238","link":"network","pid":5120,"queued":"2026-12-08T18:02:00Z","started":"2026-12-08T18:02:00Z","percent":0}})",
      R"({"v":1,"event":"user","seq":44,"time":"2026-12-08T18:02:01Z","hotsync":)" + n + R"(,"user":"Ana Souza"})",
      R"({"v":1,"event":"install","seq":45,"time":"2026-12-08T18:02:02Z","hotsync":)" + n +
          R"(,"file":"Memo.prc","database":"Memo Pad","ok":true,"words":"installed"})",
      R"({"v":1,"event":"install","seq":46,"time":"2026-12-08T18:02:02Z","hotsync":)" + n +
          R"(,"file":"notes.txt","ok":false,"words":"not a Palm database"})",
      R"({"v":1,"event":"conduit-started","seq":47,"time":"2026-12-08T18:02:03Z","hotsync":)" + n +
          R"(,"conduit":{"creator":"Tarv","name":"Tarvo Sync"}})",
      R"({"v":1,"event":"progress","seq":48,"time":"2026-12-08T18:02:04Z","hotsync":)" + n +
          R"(,"percent":42,"words":"Downloading news"})",
      R"({"v":1,"event":"conduit-ended","seq":49,"time":"2026-12-08T18:02:09Z","hotsync":)" + n +
          R"(,"conduit":{"creator":"Tarv","name":"Tarvo Sync"},"status":0,"words":"done"})",
      R"({"v":1,"event":"backup","seq":50,"time":"2026-12-08T18:02:10Z","hotsync":)" + n +
          R"(,"copied":3,"unchanged":10,"failed":0,"words":"backed up"})",
      R"({"v":1,"event":"ended","seq":51,"time":"2026-12-08T18:02:11Z","hotsync":{"id":)" + n +
          R"(,"origin":"handheld","port":"net:127.0.0.1:14238","link":"network","user":"Ana Souza","queued":"2026-12-08T18:02:00Z","started":"2026-12-08T18:02:00Z","ended":"2026-12-08T18:02:11Z","status":)" +
          QByteArray::number(status) + R"(,"result":")" + result + R"(","words":")" + words + R"("}})",
  };
}

inline QJsonObject object(const QByteArray& line) { return QJsonDocument::fromJson(line).object(); }

}  // namespace tarvo::test
