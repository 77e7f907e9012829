#include "app/AlertNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QVariantMap>

namespace vemo {

namespace {

// A notification service that does not answer within this time is taken as absent.
constexpr int NotifyTimeoutMs = 5000;

}  // namespace

AlertNotifier::AlertNotifier(QDBusConnection bus, QString iconPath, Balloon balloon,
                             QObject* parent)
    : QObject(parent), bus_(std::move(bus)), iconPath_(std::move(iconPath)),
      balloon_(std::move(balloon)) {}

void AlertNotifier::Show(const QString& summary, const QString& body) {
    if (!bus_.isConnected()) {
        ShowInBalloon(summary, body);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(NotificationService),
                                       QString::fromLatin1(NotificationPath),
                                       QString::fromLatin1(NotificationService), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("VEMO"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));  // normal
    call << QStringLiteral("VEMO") << 0u << iconPath_ << summary << body << QStringList() << hints
         << -1;  // the server's own time-out
    auto* watcher =
        new QDBusPendingCallWatcher(bus_.asyncCall(call, NotifyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, summary, body] {
                watcher->deleteLater();
                if (watcher->isError()) {
                    ShowInBalloon(summary, body);
                } else {
                    emit shown(Route::Notification);
                }
            });
}

void AlertNotifier::ShowInBalloon(const QString& summary, const QString& body) {
    // Without either the alert still shows as the marked row in the window.
    const bool shownInBalloon = balloon_ && balloon_(summary, body);
    emit shown(shownInBalloon ? Route::Balloon : Route::Nowhere);
}

QString WriteIconFile(const QString& resource, const QString& path) {
    if (QFileInfo(path).isFile()) {
        return path;
    }
    QFile source(resource);
    if (!source.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = source.readAll();
    // Whole or not at all: a file cut short would stand as the icon from then on.
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly) || target.write(bytes) != bytes.size() ||
        !target.commit()) {
        return {};
    }
    return path;
}

}  // namespace vemo
