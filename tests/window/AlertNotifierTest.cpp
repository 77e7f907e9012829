#include "app/AlertNotifier.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "tests/support/FakeNotifications.h"
#include "tests/support/PrivateBus.h"

namespace vemo {
namespace {

using Route = AlertNotifier::Route;

QString BusConfig() {
    return QStringLiteral(VEMO_TEST_SUPPORT_DIR "/private-bus.conf");
}

// Where the notifier says the one Show call went; Nowhere as well when it never says.
Route RouteOf(QSignalSpy& spy) {
    if (spy.isEmpty() && !spy.wait(10000)) {
        ADD_FAILURE() << "the notifier never said where the alert went";
        return Route::Nowhere;
    }
    return spy.takeFirst().at(0).value<Route>();
}

struct BalloonLog {
    QStringList shown;
    bool trayPresent = true;
    AlertNotifier::Balloon Shower() {
        return [this](const QString& summary, const QString& body) {
            if (trayPresent) {
                shown << summary + QLatin1Char('|') + body;
            }
            return trayPresent;
        };
    }
};

TEST(AlertNotifierTest, NotifiesTheServiceWithTheFullArguments) {
    test::PrivateBus bus(BusConfig());
    ASSERT_FALSE(bus.Address().isEmpty());
    test::FakeNotifications service;
    ASSERT_TRUE(service.Register(bus.Connect(QStringLiteral("service"))));

    BalloonLog balloon;
    AlertNotifier notifier(bus.Connect(QStringLiteral("program")), QStringLiteral("/icons/vemo.png"),
                           balloon.Shower());
    QSignalSpy spy(&notifier, &AlertNotifier::shown);
    notifier.Show(QStringLiteral("浦发银行 600000 涨到 10.52"), QStringLiteral("价格 10.52\n提醒: 高于 10.50"));
    EXPECT_EQ(RouteOf(spy), Route::Notification);
    ASSERT_EQ(service.calls.size(), 1u);
    const test::FakeNotifications::Call& call = service.calls.front();
    EXPECT_EQ(call.app, QStringLiteral("VEMO"));
    EXPECT_EQ(call.replaces, 0u);
    EXPECT_EQ(call.icon, QStringLiteral("/icons/vemo.png"));
    EXPECT_EQ(call.summary, QStringLiteral("浦发银行 600000 涨到 10.52"));
    EXPECT_EQ(call.body, QStringLiteral("价格 10.52\n提醒: 高于 10.50"));
    EXPECT_TRUE(call.actions.isEmpty());
    EXPECT_EQ(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("VEMO"));
    // The urgency is a byte on the bus; anything else is not read as one.
    const QVariant urgency = call.hints.value(QStringLiteral("urgency"));
    EXPECT_EQ(urgency.metaType(), QMetaType::fromType<uchar>());
    EXPECT_EQ(urgency.value<uchar>(), 1);
    EXPECT_EQ(call.timeout, -1);
    EXPECT_TRUE(balloon.shown.isEmpty());
}

TEST(AlertNotifierTest, FallsBackToTheBalloonWithoutAService) {
    test::PrivateBus bus(BusConfig());
    ASSERT_FALSE(bus.Address().isEmpty());
    BalloonLog balloon;
    {
        AlertNotifier notifier(bus.Connect(QStringLiteral("program")), QString(), balloon.Shower());
        QSignalSpy spy(&notifier, &AlertNotifier::shown);
        notifier.Show(QStringLiteral("s"), QStringLiteral("b"));
        EXPECT_EQ(RouteOf(spy), Route::Balloon);
        EXPECT_EQ(balloon.shown, QStringList{QStringLiteral("s|b")});

        // Neither a service nor a tray: said so, and nothing else breaks.
        balloon.trayPresent = false;
        notifier.Show(QStringLiteral("s2"), QStringLiteral("b2"));
        EXPECT_EQ(RouteOf(spy), Route::Nowhere);
    }
    // No bus at all.
    balloon.trayPresent = true;
    AlertNotifier unconnected(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                            QStringLiteral("nowhere")),
                              QString(), balloon.Shower());
    QSignalSpy spy(&unconnected, &AlertNotifier::shown);
    unconnected.Show(QStringLiteral("s3"), QStringLiteral("b3"));
    EXPECT_EQ(RouteOf(spy), Route::Balloon);
    EXPECT_EQ(balloon.shown.size(), 2);
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
}

}  // namespace
}  // namespace vemo
