// The licence of the toolkit the program runs with: Qt 4 was offered under the LGPL 2.1,
// Qt 5 is under the LGPL 3.
#pragma once

#include "licenseViewer.h"

class qtLicense : public licenseViewer {
    Q_OBJECT
public:
    explicit qtLicense(QWidget *parent = nullptr);

    // Decided by the library loaded at run time, not the headers built against.
    static bool runsOnQt4();
};
