// Window functions for the spectra: the five cosine-sum windows of the "FFT Window" selector
// and the rectangular window, with their mean (coherent gain) and RMS value.
#pragma once

// Window type, as the item data of the "FFT Window" selector.
enum fftWindowType {
    fftWindowRectangular = 0,
    fftWindowHann = 1,
    fftWindowHamming = 2,
    fftWindowBlackman = 3,
    fftWindowBlackmanHarris4 = 4,
    fftWindowBlackmanHarris7 = 5,
};

// Fills w[0 .. N-1] with the periodic window of the given type (denominator N, so that a
// coherent tone leaks into a fixed number of bins). A type outside 1 .. 5 is rectangular.
// mean and rms, when given, receive sum(w)/N and sqrt(sum(w^2)/N); for N < 1 nothing is
// written to w and both are NaN.
void fftWindow(int type, int N, double *w, double *mean = nullptr, double *rms = nullptr);
