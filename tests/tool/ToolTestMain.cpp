// main() of the tool's tests: an application object started with "-acperf", so that the
// window these tests compare the tool with has its measurement page.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    std::vector<char *> args(argv, argv + argc);
    char acperf[] = "-acperf";
    args.push_back(acperf);
    int count = int(args.size());
    args.push_back(nullptr);
    QApplication app(count, args.data());
    // The window must never leave settings in the home of the person running the tests.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    return RUN_ALL_TESTS();
}
