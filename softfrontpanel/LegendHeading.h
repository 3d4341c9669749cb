// The heading of one card's row of legend entries: which card it is and where it sits, as
// the driver's record of the multi-card session tells.
#pragma once

#include "kq7150.h"

#include <string>

struct LegendHeading {
    // env: the driver's record of the session (null in demo mode, or when it could not be
    // read). VISA failures are reported and the heading keeps what was obtained.
    static std::string text(int card, bool demo, ViSession d_vi, const kq7150_multEnv *env);
};
