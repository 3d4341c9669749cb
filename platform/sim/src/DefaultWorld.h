// The world a user without hardware meets: one VXI carrier, one LXI box, three 7150 cards.
#pragma once

#include "SimConfig.h"

namespace kqsim {

class DefaultWorld {
public:
    static WorldConfig make();
};

} // namespace kqsim
