// The main of the test programs that need a widgets application: GoogleTest's own, with one
// QApplication for all tests of the program.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QApplication app(argc, argv);
    // Tests open and close windows of their own; none of them ends the application.
    app.setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
