// The licence of the FFT library, as its Debian package states it.
#pragma once

#include "licenseViewer.h"

class kissFFTLicense : public licenseViewer {
    Q_OBJECT
public:
    explicit kissFFTLicense(QWidget *parent = nullptr);
};
