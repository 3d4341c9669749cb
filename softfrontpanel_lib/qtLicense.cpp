#include "qtLicense.h"

#include <QtGlobal>

qtLicense::qtLicense(QWidget *parent)
    : licenseViewer("Qt LGPL License", runsOnQt4() ? ":/qt-lgpl-license.txt" : ":/qt5-lgpl-license.txt",
                    parent) {}

bool qtLicense::runsOnQt4() {
    return QString::fromLatin1(qVersion()).startsWith('4');
}
