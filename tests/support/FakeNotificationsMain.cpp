// fake-notifications LOG: owns org.freedesktop.Notifications on the session bus and appends one
// line per Notify call to LOG: summary, body (line feeds as "\n"), application, icon,
// desktop-entry, urgency and time-out, separated by tabs. Prints "ready" once it owns the name.
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

#include "tests/support/FakeNotifications.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fake-notifications LOG\n");
        return 2;
    }
    QFile log(QString::fromLocal8Bit(argv[1]));
    if (!log.open(QIODevice::Append | QIODevice::Text)) {
        std::fprintf(stderr, "fake-notifications: cannot open %s\n", argv[1]);
        return 1;
    }
    vemo::test::FakeNotifications service;
    service.onCall = [&log](const vemo::test::FakeNotifications::Call& call) {
        QString body = call.body;
        body.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        const QStringList fields = {
            call.summary,
            body,
            call.app,
            call.icon,
            call.hints.value(QStringLiteral("desktop-entry")).toString(),
            QString::number(call.hints.value(QStringLiteral("urgency")).value<uchar>()),
            QString::number(call.timeout)};
        log.write(fields.join(QLatin1Char('\t')).toUtf8() + '\n');
        log.flush();
    };
    if (!service.Register(QDBusConnection::sessionBus())) {
        std::fprintf(stderr, "fake-notifications: cannot own the name\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
