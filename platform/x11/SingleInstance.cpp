#include "platform/x11/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QByteArray>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <memory>

namespace vemo {
namespace {

// One message: "VEMO", the message number (int32), wParam and lParam (int64), little-endian.
constexpr char Magic[4] = {'V', 'E', 'M', 'O'};
constexpr int MessageSize = 24;
constexpr char Acknowledgement = 'K';

// A client that has not sent its message by then is dropped, and at most this many are served
// at once, so that a stray client cannot tie the running instance up.
constexpr int ClientTimeoutMs = 2000;
constexpr int MaxClients = 8;

QByteArray EncodeMessage(int message, qint64 wParam, qint64 lParam) {
    QByteArray data(MessageSize, '\0');
    char* p = data.data();
    std::memcpy(p, Magic, sizeof Magic);
    qToLittleEndian<qint32>(message, p + 4);
    qToLittleEndian<qint64>(wParam, p + 8);
    qToLittleEndian<qint64>(lParam, p + 16);
    return data;
}

// A folder that only this user can enter: a real directory (not a link), owned by the effective
// user, with no group or other permissions.
bool IsPrivateFolder(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

QString TemporaryFolder() {
    QString tmp = qEnvironmentVariable("TMPDIR");
    if (tmp.isEmpty()) {
        tmp = QStringLiteral("/tmp");
    }
    while (tmp.size() > 1 && tmp.endsWith(QLatin1Char('/'))) {
        tmp.chop(1);
    }
    return tmp;
}

QString JoinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent), baseName_(DefaultBaseName()), defaultFolder_(true) {}

SingleInstance::SingleInstance(const QString& folder, const QString& baseName, QObject* parent)
    : QObject(parent), folder_(folder), baseName_(baseName) {}

SingleInstance::~SingleInstance() {
    if (server_ != nullptr) {
        server_->close();  // removes the socket file
    }
    if (lock_) {
        lock_->unlock();
    }
}

QString SingleInstance::DefaultBaseName() {
    return QStringLiteral("vemoMonitor_started-%1").arg(::getuid());
}

QString SingleInstance::DefaultFolder(bool create) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(QLatin1Char('/')) && IsPrivateFolder(runtime)) {
        return runtime;
    }
    const QString folder =
        JoinPath(TemporaryFolder(), QStringLiteral("vemoMonitor-%1").arg(::getuid()));
    const QByteArray native = QFile::encodeName(folder);
    if (create && ::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        return QString();
    }
    // A folder of ours with a loose mode (an old umask, a copy) is tightened; anything else that
    // has taken the name, maybe planted by another user, is not used.
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
        info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) {
        ::chmod(native.constData(), 0700);
    }
    return IsPrivateFolder(folder) ? folder : QString();
}

QString SingleInstance::LockFilePath() const {
    return folder_.isEmpty() ? QString() : JoinPath(folder_, baseName_ + QStringLiteral(".lock"));
}

QString SingleInstance::ServerPath() const {
    return folder_.isEmpty() ? QString() : JoinPath(folder_, baseName_ + QStringLiteral(".socket"));
}

bool SingleInstance::IsListening() const {
    return server_ != nullptr && server_->isListening();
}

bool SingleInstance::TryBecomePrimary() {
    if (primary_) {
        return true;
    }
    if (defaultFolder_) {
        folder_ = DefaultFolder(true);
    }
    if (!IsPrivateFolder(folder_)) {
        primary_ = true;
        guarded_ = false;
        return true;
    }

    lock_ = std::make_unique<QLockFile>(LockFilePath());
    // Held for the whole run, so never stale by age; only a lock whose process is gone is.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        const bool taken = lock_->error() == QLockFile::LockFailedError;
        lock_.reset();
        if (taken) {
            return false;
        }
        primary_ = true;  // the lock file cannot be written: run unguarded
        guarded_ = false;
        return true;
    }
    primary_ = true;
    guarded_ = true;

    // The lock is ours, so a socket file still there was left by a run that crashed.
    const QString serverPath = ServerPath();
    QLocalServer::removeServer(serverPath);
    server_ = new QLocalServer(this);
    server_->setMaxPendingConnections(MaxClients);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::AcceptConnections);
    if (!server_->listen(serverPath)) {
        delete server_;
        server_ = nullptr;
    }
    return true;
}

void SingleInstance::AcceptConnections() {
    while (server_ != nullptr && server_->hasPendingConnections()) {
        QLocalSocket* socket = server_->nextPendingConnection();
        if (socket == nullptr) {
            break;
        }
        if (clients_ >= MaxClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++clients_;
        connect(socket, &QObject::destroyed, this, [this] { --clients_; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(ClientTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });

        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
            if (buffer->size() >= MessageSize) {
                socket->skip(socket->bytesAvailable());  // one message per connection
                return;
            }
            buffer->append(socket->read(MessageSize - buffer->size()));
            if (buffer->size() < MessageSize) {
                return;
            }
            const char* p = buffer->constData();
            if (std::memcmp(p, Magic, sizeof Magic) != 0) {
                socket->abort();
                socket->deleteLater();
                return;
            }
            const int message = qFromLittleEndian<qint32>(p + 4);
            const qint64 wParam = qFromLittleEndian<qint64>(p + 8);
            const qint64 lParam = qFromLittleEndian<qint64>(p + 16);
            socket->write(&Acknowledgement, 1);
            socket->flush();
            socket->disconnectFromServer();
            emit messageReceived(message, wParam, lParam);
        });
    }
}

bool SingleInstance::WakePrimary() {
    const QString folder = DefaultFolder(false);
    if (folder.isEmpty()) {
        return false;
    }
    return WakePrimary(folder, DefaultBaseName());
}

bool SingleInstance::WakePrimary(const QString& folder, const QString& baseName, int timeoutMs) {
    return SendToPrimary(folder, baseName, WakeUpMessage, WakeUpWParam, WakeUpLParam, timeoutMs);
}

bool SingleInstance::SendToPrimary(const QString& folder, const QString& baseName, int message,
                                   qint64 wParam, qint64 lParam, int timeoutMs) {
    if (!IsPrivateFolder(folder)) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(JoinPath(folder, baseName + QStringLiteral(".socket")));
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    const QByteArray data = EncodeMessage(message, wParam, lParam);
    if (socket.write(data) != data.size()) {
        return false;
    }
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMs)) {
            return false;
        }
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    char reply = 0;
    return socket.read(&reply, 1) == 1 && reply == Acknowledgement;
}

}  // namespace vemo
