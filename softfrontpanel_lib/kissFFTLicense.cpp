#include "kissFFTLicense.h"

kissFFTLicense::kissFFTLicense(QWidget *parent)
    : licenseViewer("KISS FFT BSD License", ":/kiss-fft-bsd-license.txt", parent) {}
