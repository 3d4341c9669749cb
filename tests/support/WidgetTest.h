// What every widget test needs: Qt's widgets and test tools, and GoogleTest.
#pragma once

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <optional>

// Keeps an environment variable as it was (set or not) across a test.
class SavedVariable {
public:
    explicit SavedVariable(const char *name) : m_name(name) {
        if (qEnvironmentVariableIsSet(name))
            m_value = qgetenv(name);
    }
    ~SavedVariable() { m_value ? qputenv(m_name, *m_value) : qunsetenv(m_name); }

private:
    const char *m_name;
    std::optional<QByteArray> m_value;
};
