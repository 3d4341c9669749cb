// The sample times of a block: first + i / rate for i in 0 .. count-1, as the waveform view
// lays out every channel's samples. Cursors snap to it; an empty grid leaves a time as it is.
#pragma once

struct SampleGrid {
    double first = 0.0;
    double rate = 1.0;
    int count = 0;

    // The index of the sample nearest t, clamped to the block; -1 when the block is empty.
    int nearestIndex(double t) const;
    double time(int index) const { return first + index / rate; }
    // The nearest sample's time, or t itself when there are no samples.
    double snap(double t) const;
};
