// main() of the widget tests: an application object exists before any test builds a widget.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv) {
    // Widgets need no screen unless the caller gave one (a test run under Xvfb).
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests run the child from a fresh start: forking a process with Qt's threads is unsafe.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    QApplication app(argc, argv);
    // Starting an acquisition remembers its storage choices; a test must never leave them in
    // the settings of the person running it.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    return RUN_ALL_TESTS();
}
