// The sine waves shown without hardware: the k-th acquired channel carries 1.2 (k + 1)
// periods per block, and every block moves on by a phase step so the picture is alive.
#pragma once

class DemoSignal {
public:
    static constexpr double kPhaseStep = 0.05; // rad per block

    // Fills channels blocks of scans samples, channel-major, then advances the phase that all
    // demo views of the program share.
    static void fill(double *data, int channels, int scans);

    static double phase() { return s_phase; }
    static void resetPhase() { s_phase = 0.0; }

private:
    static double s_phase;
};
