// The manager's socket as the desktop uses it: one connection that follows
// the event stream (and comes back by itself when the manager restarts),
// and single requests such as reload and quit.
#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QJsonObject>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace tarvo::desktop {

class ManagerClient : public QObject {
  Q_OBJECT
 public:
  using Reply = std::function<void(const QJsonObject& reply)>;

  // Starts following the event stream.
  virtual void start() = 0;
  // Sends one request ("reload", "quit", "cancel") with its own `fields`;
  // `done` gets the reply, or an error reply made here
  // ({"reply":"error","error":"no-manager",...}) when no manager answers.
  virtual void request(const QString& name, Reply done, const QJsonObject& fields = {}) = 0;

 signals:
  void eventArrived(const QJsonObject& event);
  // The stream ended or could not start; `why` is one line for a person.
  void lost(const QString& why);
};

class SocketManagerClient : public ManagerClient {
  Q_OBJECT
 public:
  SocketManagerClient();
  ~SocketManagerClient() override;
  void start() override;
  void request(const QString& name, Reply done, const QJsonObject& fields = {}) override;

 private:
  void connectStream();
  void readStream();
  void streamEnded(const QString& why);

  std::unique_ptr<QLocalSocket> stream_;
  QByteArray buffer_;
  bool following_ = false;
  // A manager that starts later makes its socket in this folder: the watch
  // reconnects at once; the timer is the fallback, slow enough to stay idle.
  QFileSystemWatcher folderWatch_;
  QTimer retry_;
};

// The request line for `name` in the protocol this program speaks.
QByteArray requestLine(const QString& name, const QJsonObject& fields = {});

// Splits complete lines off the front of `buffer`; each one that is a JSON
// object goes to `take`. A line longer than the protocol allows empties the
// buffer and returns false.
bool takeLines(QByteArray& buffer, const std::function<void(const QJsonObject&)>& take);

}  // namespace tarvo::desktop
