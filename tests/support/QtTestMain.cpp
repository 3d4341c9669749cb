// main() of the widget tests: an application object exists before any test builds a widget.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    // Widgets need no screen unless the caller gave one (a test run under Xvfb).
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests run the child from a fresh start: forking a process with Qt's threads is unsafe.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
