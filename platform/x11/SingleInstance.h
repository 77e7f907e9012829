#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>
#include <memory>

class QLocalServer;
class QLockFile;

namespace vemo {

// What a second start sends the running instance: the tray-callback message with the left
// double-click code, which shows its window.
inline constexpr int WakeUpMessage = 1034;
inline constexpr qint64 WakeUpWParam = 0;
inline constexpr qint64 WakeUpLParam = 0x203;

// One running instance per user. The first instance holds a lock file in a private per-user
// folder for its whole life and listens on a local socket beside it; a later start finds the lock
// taken and sends the running instance a message through the socket. A lock file left by a
// crashed run (its process is gone) is taken over, and a socket file left behind is replaced.
//
// The folder is $XDG_RUNTIME_DIR when it is a private folder of the user, otherwise
// "vemoMonitor-<uid>" (mode 0700) in the temporary folder; the files are named after
// "vemoMonitor_started-<uid>".
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(QObject* parent = nullptr);
    // An explicit folder (it must exist, belong to the user and be closed to others) and base
    // name, so that tests run apart from a real instance.
    SingleInstance(const QString& folder, const QString& baseName, QObject* parent = nullptr);
    ~SingleInstance() override;

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is to run: it now holds the lock (and listens for messages), or no
    // private folder or lock file could be set up at all, in which case it runs unguarded rather
    // than not at all (IsGuarded tells). False only when another live instance holds the lock.
    bool TryBecomePrimary();
    bool IsPrimary() const { return primary_; }
    bool IsGuarded() const { return guarded_; }
    // Whether messages of later starts can arrive (the socket could be created).
    bool IsListening() const;

    QString LockFilePath() const;
    QString ServerPath() const;

    // Sends the running instance WakeUpMessage / WakeUpWParam / WakeUpLParam and waits (up to
    // timeoutMs for each step) for its acknowledgement. True when the message was delivered.
    static bool WakePrimary();
    static bool WakePrimary(const QString& folder, const QString& baseName, int timeoutMs = 3000);
    static bool SendToPrimary(const QString& folder, const QString& baseName, int message,
                              qint64 wParam, qint64 lParam, int timeoutMs);

    // The private per-user folder, created when asked and missing; empty when none can be had
    // safely (a folder of that name belongs to someone else or is open to others).
    static QString DefaultFolder(bool create);
    static QString DefaultBaseName();

  signals:
    // A message of a later start, received by the primary instance.
    void messageReceived(int message, qint64 wParam, qint64 lParam);

  private:
    void AcceptConnections();

    QString folder_;
    QString baseName_;
    bool defaultFolder_ = false;
    bool primary_ = false;
    bool guarded_ = false;
    int clients_ = 0;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace vemo
