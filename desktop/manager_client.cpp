#include "desktop/manager_client.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <filesystem>

#include "desktop/manager_state.h"
#include "hotsync/manager.h"

namespace tarvo::desktop {
namespace {

constexpr int kMaxLine = 64 * 1024;
constexpr int kRetryMs = 5000;

QJsonObject noManager() {
  return QJsonObject{
      {QStringLiteral("v"), kProtocolVersion},
      {QStringLiteral("reply"), QStringLiteral("error")},
      {QStringLiteral("error"), QStringLiteral("no-manager")},
      {QStringLiteral("message"), QCoreApplication::translate("Status", "The HotSync manager is not running")}};
}

// A socket connected to this user's manager, or nothing. The library knows
// where the socket is and checks the folder is the user's own.
std::unique_ptr<QLocalSocket> connectToManager() {
  const int fd = hotsync::connectManager();
  if (fd < 0) return nullptr;
  auto socket = std::make_unique<QLocalSocket>();
  if (!socket->setSocketDescriptor(fd)) return nullptr;
  return socket;
}

}  // namespace

QByteArray requestLine(const QString& name, const QJsonObject& fields) {
  QJsonObject request = fields;
  request.insert(QStringLiteral("v"), kProtocolVersion);
  request.insert(QStringLiteral("request"), name);
  return QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
}

bool takeLines(QByteArray& buffer, const std::function<void(const QJsonObject&)>& take) {
  for (qsizetype end; (end = buffer.indexOf('\n')) >= 0;) {
    const QByteArray line = buffer.left(end);
    buffer.remove(0, end + 1);
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (document.isObject()) take(document.object());
  }
  if (buffer.size() > kMaxLine) {
    buffer.clear();
    return false;
  }
  return true;
}

SocketManagerClient::SocketManagerClient() {
  retry_.setSingleShot(true);
  retry_.setInterval(kRetryMs);
  connect(&retry_, &QTimer::timeout, this, &SocketManagerClient::connectStream);
  connect(&folderWatch_, &QFileSystemWatcher::directoryChanged, this, [this] {
    if (!stream_) connectStream();
  });
}

// A socket closed by its destructor still signals: not to this half-gone client.
SocketManagerClient::~SocketManagerClient() {
  if (stream_) stream_->disconnect(this);
}

void SocketManagerClient::start() {
  std::string error;
  const std::filesystem::path dir = hotsync::managerDir(&error);
  if (!dir.empty()) folderWatch_.addPath(QString::fromStdString(dir.string()));
  connectStream();
}

void SocketManagerClient::connectStream() {
  if (stream_) return;
  stream_ = connectToManager();
  if (!stream_) {
    if (!following_) emit lost(noManager().value(QStringLiteral("message")).toString());
    following_ = false;
    retry_.start();
    return;
  }
  following_ = true;
  buffer_.clear();
  connect(stream_.get(), &QLocalSocket::readyRead, this, &SocketManagerClient::readStream);
  connect(stream_.get(), &QLocalSocket::disconnected, this,
          [this] { streamEnded(QCoreApplication::translate("Status", "The HotSync manager is not running")); });
  stream_->write(requestLine(QStringLiteral("events")));
  stream_->flush();
}

void SocketManagerClient::readStream() {
  if (!stream_) return;
  buffer_ += stream_->readAll();
  QString refused;
  const bool whole = takeLines(buffer_, [&](const QJsonObject& line) {
    if (line.value(QStringLiteral("reply")) == QStringLiteral("error"))
      refused = line.value(QStringLiteral("message")).toString();
    else if (refused.isEmpty())
      emit eventArrived(line);
  });
  if (!refused.isEmpty()) return streamEnded(refused);
  if (!whole) streamEnded(QStringLiteral("the HotSync manager sent a line longer than 64 KiB"));
}

void SocketManagerClient::streamEnded(const QString& why) {
  if (!stream_) return;
  // Not deleted here: this may run inside one of the socket's own signals,
  // and it may still signal what it has left.
  QLocalSocket* ended = stream_.release();
  ended->disconnect(this);
  ended->deleteLater();
  following_ = false;
  emit lost(why);
  retry_.start();
}

void SocketManagerClient::request(const QString& name, Reply done, const QJsonObject& fields) {
  std::unique_ptr<QLocalSocket> owned = connectToManager();
  if (!owned) return done(noManager());
  QLocalSocket* socket = owned.release();
  socket->setParent(this);
  auto buffer = std::make_shared<QByteArray>();
  auto answered = std::make_shared<bool>(false);
  connect(socket, &QLocalSocket::readyRead, this, [socket, buffer, answered, done] {
    *buffer += socket->readAll();
    takeLines(*buffer, [&](const QJsonObject& reply) {
      if (*answered) return;
      *answered = true;
      done(reply);
      socket->disconnectFromServer();
    });
  });
  connect(socket, &QLocalSocket::disconnected, this, [socket, answered, done] {
    if (!*answered) {
      *answered = true;
      done(noManager());
    }
    socket->deleteLater();
  });
  socket->write(requestLine(name, fields));
  socket->flush();
}

}  // namespace tarvo::desktop
