#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <csignal>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/x11/SingleInstance.h"

namespace vemo {
namespace {

const QString Name = QStringLiteral("vemoTest_started");

// Runs fn on a thread of its own while the calling thread's event loop serves the primary
// instance, as a second process would.
class Background {
  public:
    template <typename Fn>
    explicit Background(Fn fn)
        : thread_([this, fn] {
              result_ = fn();
              done_ = true;
          }) {}
    ~Background() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // Serves events until the work is done (or 10 seconds have passed) and returns its result.
    bool Finish() {
        static_cast<void>(QTest::qWaitFor([this] { return done_.load(); }, 10000));
        thread_.join();
        QCoreApplication::processEvents();
        return result_;
    }

  private:
    std::atomic<bool> result_{false};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

class SingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Folder() const { return dir_.path(); }

    QTemporaryDir dir_;
};

TEST_F(SingleInstanceTest, FirstBecomesPrimaryUntilItEnds) {
    auto first = std::make_unique<SingleInstance>(Folder(), Name);
    ASSERT_TRUE(first->TryBecomePrimary());
    EXPECT_TRUE(first->IsGuarded());
    EXPECT_TRUE(first->IsListening());
    EXPECT_TRUE(QFile::exists(first->LockFilePath()));
    EXPECT_TRUE(QFile::exists(first->ServerPath()));

    SingleInstance second(Folder(), Name);
    EXPECT_FALSE(second.TryBecomePrimary());
    EXPECT_FALSE(second.IsPrimary());

    // Another name is another program.
    SingleInstance other(Folder(), Name + QStringLiteral("2"));
    EXPECT_TRUE(other.TryBecomePrimary());

    first.reset();
    SingleInstance third(Folder(), Name);
    EXPECT_TRUE(third.TryBecomePrimary());
    EXPECT_TRUE(third.IsListening());
}

TEST_F(SingleInstanceTest, SecondStartWakesThePrimary) {
    SingleInstance primary(Folder(), Name);
    ASSERT_TRUE(primary.TryBecomePrimary());
    QSignalSpy spy(&primary, &SingleInstance::messageReceived);

    const QString folder = Folder();
    Background wake([folder] { return SingleInstance::WakePrimary(folder, Name, 5000); });
    EXPECT_TRUE(wake.Finish());

    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 1034);
    EXPECT_EQ(spy.at(0).at(1).toLongLong(), 0);
    EXPECT_EQ(spy.at(0).at(2).toLongLong(), 0x203);

    // And again: one message per connection, any number of connections.
    Background again([folder] { return SingleInstance::WakePrimary(folder, Name, 5000); });
    EXPECT_TRUE(again.Finish());
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(SingleInstanceTest, WakeWithoutPrimaryReportsFailure) {
    EXPECT_FALSE(SingleInstance::WakePrimary(Folder(), Name, 1000));

    // A socket file that nobody listens on any more, as a crashed run leaves it.
    SingleInstance probe(Folder(), Name);
    const QByteArray path = QFile::encodeName(probe.ServerPath());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(path.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(probe.ServerPath()));
    EXPECT_FALSE(SingleInstance::WakePrimary(Folder(), Name, 1000));

    // The next start replaces it and can be woken.
    ASSERT_TRUE(probe.TryBecomePrimary());
    EXPECT_TRUE(probe.IsListening());
    QSignalSpy spy(&probe, &SingleInstance::messageReceived);
    const QString folder = Folder();
    Background wake([folder] { return SingleInstance::WakePrimary(folder, Name, 5000); });
    EXPECT_TRUE(wake.Finish());
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(SingleInstanceTest, LockOfALiveProcessHoldsAndOfADeadOneIsTakenOver) {
    const QString lockPath = SingleInstance(Folder(), Name).LockFilePath();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Another run of the program: takes the lock and never lets go of it by itself.
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);
        const char ok = lock.tryLock(0) ? '1' : '0';
        if (::write(ready[1], &ok, 1) != 1) {
            ::_exit(2);
        }
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(ok, '1');

    {
        SingleInstance second(Folder(), Name);
        EXPECT_FALSE(second.TryBecomePrimary());
    }

    // The other run crashes: its lock file stays behind with the number of a dead process.
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(QFile::exists(lockPath));

    SingleInstance next(Folder(), Name);
    EXPECT_TRUE(next.TryBecomePrimary());
    EXPECT_TRUE(next.IsGuarded());
    SingleInstance after(Folder(), Name);
    EXPECT_FALSE(after.TryBecomePrimary());
}

TEST_F(SingleInstanceTest, MalformedClientIsDroppedAndWakesStillArrive) {
    SingleInstance primary(Folder(), Name);
    ASSERT_TRUE(primary.TryBecomePrimary());
    QSignalSpy spy(&primary, &SingleInstance::messageReceived);

    const QString server = primary.ServerPath();
    Background garbage([server] {
        QLocalSocket socket;
        socket.connectToServer(server);
        if (!socket.waitForConnected(3000)) {
            return false;
        }
        socket.write(QByteArray(24, 'x'));
        socket.waitForBytesWritten(3000);
        // No acknowledgement comes back; the instance closes the connection.
        return !socket.waitForReadyRead(3000) || socket.bytesAvailable() == 0;
    });
    EXPECT_TRUE(garbage.Finish());
    EXPECT_EQ(spy.count(), 0);

    const QString folder = Folder();
    Background wake([folder] { return SingleInstance::WakePrimary(folder, Name, 5000); });
    EXPECT_TRUE(wake.Finish());
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(SingleInstanceTest, FolderOpenToOthersIsNotUsed) {
    ASSERT_EQ(::chmod(QFile::encodeName(Folder()).constData(), 0755), 0);
    SingleInstance instance(Folder(), Name);
    // The program still runs, without the guard, and leaves nothing in the folder.
    EXPECT_TRUE(instance.TryBecomePrimary());
    EXPECT_FALSE(instance.IsGuarded());
    EXPECT_FALSE(instance.IsListening());
    EXPECT_TRUE(QDir(Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_FALSE(SingleInstance::WakePrimary(Folder(), Name, 1000));
}

// Sets an environment variable (or removes it, for a null value) for one test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

TEST_F(SingleInstanceTest, DefaultFolderIsPrivateAndPerUser) {
    EXPECT_EQ(SingleInstance::DefaultBaseName(),
              QStringLiteral("vemoMonitor_started-%1").arg(::getuid()));

    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", QFile::encodeName(Folder()));
        EXPECT_EQ(SingleInstance::DefaultFolder(false), Folder());
    }

    // A runtime folder open to others is not taken: a private folder in the temporary folder
    // is, created on demand.
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(tmp.path()).constData(), 0755), 0);
    ScopedEnv runtime("XDG_RUNTIME_DIR", QFile::encodeName(tmp.path()));
    ScopedEnv tmpdir("TMPDIR", QFile::encodeName(tmp.path()) + "/");
    const QString expected = tmp.path() + QStringLiteral("/vemoMonitor-%1").arg(::getuid());
    EXPECT_EQ(SingleInstance::DefaultFolder(false), QString());
    EXPECT_EQ(SingleInstance::DefaultFolder(true), expected);
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(expected).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // Loosened by someone: tightened again before use.
    ASSERT_EQ(::chmod(QFile::encodeName(expected).constData(), 0777), 0);
    EXPECT_EQ(SingleInstance::DefaultFolder(true), expected);
    ASSERT_EQ(::lstat(QFile::encodeName(expected).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A link in its place (it could lead anywhere) is refused.
    ASSERT_TRUE(QDir(expected).removeRecursively());
    ASSERT_TRUE(QFile::link(Folder(), expected));
    EXPECT_EQ(SingleInstance::DefaultFolder(true), QString());
}

}  // namespace
}  // namespace vemo
