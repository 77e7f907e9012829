#include <gtest/gtest.h>

#include <QGuiApplication>
#include <string>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    // The X11 suite needs a real X server: it runs as a test of its own under xvfb-run, and is
    // left out of the list and the runs everywhere else unless asked for by name.
    if (qgetenv("QT_QPA_PLATFORM") != "xcb" && GTEST_FLAG_GET(filter) == std::string("*")) {
        GTEST_FLAG_SET(filter, "-X11HotKey*");
    }
    // Listing the tests needs no application.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
