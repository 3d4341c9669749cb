#include "qwtLicense.h"

qwtLicense::qwtLicense(QWidget *parent)
    : licenseViewer("Qwt LGPL License", ":/qwt-lgpl-license.txt", parent) {}
