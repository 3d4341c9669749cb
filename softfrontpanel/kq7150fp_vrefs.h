// The carrier's reference voltages, read once when the window is built and shared by every
// panel. No entries: there is no reference module, and nothing can be calibrated.
#pragma once

struct kq7150fp_vrefTable {
    static constexpr int kMax = 20;
    double v[kMax] = {};
    int count = 0;
};

extern kq7150fp_vrefTable vrefs;
