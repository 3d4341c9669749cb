// LC_NUMERIC set to a locale with a decimal comma for the scope's life, as the application object
// sets a German or French user's locale. active() is false when none is installed and none could
// be compiled from the locale sources that the set-up installs.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

class CommaLocale {
public:
    CommaLocale() : m_before(std::setlocale(LC_NUMERIC, nullptr)) {
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"})
            if (std::setlocale(LC_NUMERIC, name)) {
                activate();
                return;
            }
        const std::string dir = ::testing::TempDir() + "kq_locales";
        const std::string make =
            "mkdir -p '" + dir + "' && localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(make.c_str()) == 0) {
            setenv("LOCPATH", dir.c_str(), 1);
            if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
                activate();
        }
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, m_before.c_str()); }
    CommaLocale(const CommaLocale &) = delete;
    CommaLocale &operator=(const CommaLocale &) = delete;

    bool active() const { return m_active; }

private:
    void activate() { m_active = *std::localeconv()->decimal_point == ','; }

    std::string m_before;
    bool m_active = false;
};
