// The licence of the plot library: its own exceptions followed by the LGPL 2.1 they amend.
#pragma once

#include "licenseViewer.h"

class qwtLicense : public licenseViewer {
    Q_OBJECT
public:
    explicit qwtLicense(QWidget *parent = nullptr);
};
