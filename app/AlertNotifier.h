#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

namespace vemo {

inline constexpr char NotificationService[] = "org.freedesktop.Notifications";
inline constexpr char NotificationPath[] = "/org/freedesktop/Notifications";

// Tells the user that an alert fired: a desktop notification through the notification service
// on the session bus, or, where no service answers, the tray icon's balloon. Lives on the
// interface thread; a call never waits for the bus.
class AlertNotifier : public QObject {
    Q_OBJECT

  public:
    enum class Route { Notification, Balloon, Nowhere };

    // Shows the texts in the tray icon's balloon; false when there is no tray icon to show them.
    using Balloon = std::function<bool(const QString& summary, const QString& body)>;

    // `iconPath`: an image file of the program's icon, empty for the service's own.
    AlertNotifier(QDBusConnection bus, QString iconPath, Balloon balloon,
                  QObject* parent = nullptr);

    void Show(const QString& summary, const QString& body);

  signals:
    // Where a Show call ended up, once that is known.
    void shown(vemo::AlertNotifier::Route route);

  private:
    void ShowInBalloon(const QString& summary, const QString& body);

    QDBusConnection bus_;
    QString iconPath_;
    Balloon balloon_;
};

// Writes the program's icon (a resource) to `path` unless a file is there already; the path on
// success, empty otherwise.
QString WriteIconFile(const QString& resource, const QString& path);

}  // namespace vemo
