#include "SampleGrid.h"

#include <cmath>

int SampleGrid::nearestIndex(double t) const {
    if (count < 1 || !(rate > 0.0))
        return -1;
    const double position = std::round((t - first) * rate);
    // Compared as doubles: far outside the block the position does not fit an int.
    if (!(position > 0.0))
        return 0;
    if (position >= count - 1)
        return count - 1;
    return static_cast<int>(position);
}

double SampleGrid::snap(double t) const {
    const int index = nearestIndex(t);
    return index < 0 ? t : time(index);
}
