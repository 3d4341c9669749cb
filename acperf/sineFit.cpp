#include "sineFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <stdexcept>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// The time of sample i: a uniform grid when the sample rate is known, else the caller's axis.
double sampleTime(const sineFitData &data, double step, int i) {
    return data.sampleRate != 0.0 ? i * step : data.timeAxis[i];
}

double meanSpacing(const sineFitData &data) {
    if (data.sampleRate != 0.0)
        return 1.0 / data.sampleRate;
    return data.N > 1 ? (data.timeAxis[data.N - 1] - data.timeAxis[0]) / (data.N - 1) : 0.0;
}

// Evaluating cos and sin dominates the fits (one pair per sample and iteration). Within a block
// of kBlock samples an angle w t_i is instead the block's first angle (evaluated directly), plus
// j mean sample spacings (cos and sin tabulated once per pass), plus the small remainder a
// jittered or rounded time axis leaves (a short Taylor series), put together by two rotations.
// The result agrees with std::cos and std::sin of the same angle to a few 1e-16 at a fraction of
// the cost. An angle far from the grid (an irregular time axis) is evaluated directly.
class RotationGrid {
public:
    static constexpr int kBlock = 32;

    explicit RotationGrid(double step) : m_span(2.0 * (kBlock * std::fabs(step) + kMaxRemainder)) {
        for (int j = 0; j < kBlock; ++j) {
            m_angle[j] = j * step;
            m_cos[j] = std::cos(m_angle[j]);
            m_sin[j] = std::sin(m_angle[j]);
        }
    }

    // Whether angle - anchorAngle is exact (Sterbenz) for every angle the series will serve:
    // true unless the anchor is near 0 against the block's span, as in the first block.
    bool differencesExact(double anchorAngle) const { return std::fabs(anchorAngle) >= m_span; }

    // cos and sin of `angle`, j samples after a block start at anchorAngle. Unless the first
    // difference is known to be exact, its rounding error is carried into the remainder.
    template <bool exact>
    void evaluate(double angle, double anchorAngle, double anchorCos, double anchorSin, int j, double &c,
                  double &s) const {
        const double e = remainder<exact>(angle, anchorAngle, j);
        if (!(std::fabs(e) <= kMaxRemainder)) {
            c = std::cos(angle);
            s = std::sin(angle);
            return;
        }
        double cl, sl;
        fromAnchor(e, j, cl, sl);
        c = anchorCos * cl - anchorSin * sl;
        s = anchorSin * cl + anchorCos * sl;
    }

    // How far `angle` lies from grid point j of a block whose first angle is anchorAngle.
    template <bool exact> double remainder(double angle, double anchorAngle, int j) const {
        const double u = angle - anchorAngle;
        const double e = u - m_angle[j];
        return exact ? e : e + differenceError(angle, anchorAngle, u);
    }

    // cos and sin of the angle from the block's anchor to grid point j plus e (|e| <= kMaxRemainder).
    void fromAnchor(double e, int j, double &cl, double &sl) const {
        const double e2 = e * e;
        const double ce = 1.0 - e2 * (0.5 - e2 * (1.0 / 24.0));
        const double se = e * (1.0 - e2 * ((1.0 / 6.0) - e2 * (1.0 / 120.0)));
        cl = m_cos[j] * ce - m_sin[j] * se;
        sl = m_sin[j] * ce + m_cos[j] * se;
    }

    // Up to here the series above are exact in double precision (next terms below 1e-20).
    static constexpr double kMaxRemainder = 1e-3;

private:
    // x - y - fl(x - y), exactly (Knuth's two-sum).
    static double differenceError(double x, double y, double difference) {
        const double yPart = difference - x;
        const double xPart = difference - yPart;
        return (x - xPart) + (-y - yPart);
    }

    double m_span;
    double m_angle[kBlock];
    double m_cos[kBlock];
    double m_sin[kBlock];
};

// Samples first+1 .. end-1 of a block whose first sample has the given angle.
template <bool exact, typename Visit>
void visitBlock(const sineFitData &data, double omega, double step, const RotationGrid &grid, int first,
                int end, double anchorAngle, double anchorCos, double anchorSin, Visit &visit) {
    for (int i = first + 1; i < end; ++i) {
        const double t = sampleTime(data, step, i);
        double c, s;
        grid.evaluate<exact>(omega * t, anchorAngle, anchorCos, anchorSin, i - first, c, s);
        visit(i, t, c, s);
    }
}

// Calls visit(i, t_i, cos(w t_i), sin(w t_i)) for every sample in order.
template <typename Visit> void forEachSample(const sineFitData &data, double omega, Visit visit) {
    const double step = data.sampleRate != 0.0 ? 1.0 / data.sampleRate : 0.0;
    const RotationGrid grid(omega * meanSpacing(data));
    for (int first = 0, end = 0; first < data.N; first = end) {
        end = data.N - first > RotationGrid::kBlock ? first + RotationGrid::kBlock : data.N;
        const double anchorTime = sampleTime(data, step, first);
        const double anchorAngle = omega * anchorTime;
        const double anchorCos = std::cos(anchorAngle);
        const double anchorSin = std::sin(anchorAngle);
        visit(first, anchorTime, anchorCos, anchorSin);
        if (grid.differencesExact(anchorAngle))
            visitBlock<true>(data, omega, step, grid, first, end, anchorAngle, anchorCos, anchorSin, visit);
        else
            visitBlock<false>(data, omega, step, grid, first, end, anchorAngle, anchorCos, anchorSin, visit);
    }
}

// D^T D and D^T y accumulated one design row at a time, so the N-row design matrix and its
// transpose never have to exist: the sums are the same, in the same order, without the memory
// traffic of a multi-megabyte matrix per iteration.
template <int K> class NormalEquations {
public:
    // Unrolled so that the sums stay in registers: this is the inner loop of every fit.
    void add(const double (&row)[K], double y) {
#pragma GCC unroll 4
        for (int r = 0; r < K; ++r) {
#pragma GCC unroll 4
            for (int c = r; c < K; ++c)
                m_dtd[r][c] += row[r] * row[c];
            m_dty[r] += row[r] * y;
        }
    }

    // The sums as they are when accumulated elsewhere: dtd symmetric.
    void set(const std::array<std::array<double, K>, K> &dtd, const std::array<double, K> &dty) {
        for (int r = 0; r < K; ++r) {
            for (int c = 0; c < K; ++c)
                m_dtd[r][c] = dtd[r][c];
            m_dty[r] = dty[r];
        }
    }

    // x = (D^T D)^-1 D^T y with the clamped, non-pivoting inversion of `matrix`.
    std::array<double, K> solve() const {
        matrix inverse(K, K);
        for (int r = 0; r < K; ++r)
            for (int c = 0; c < K; ++c)
                inverse.at(c, r) = r <= c ? m_dtd[r][c] : m_dtd[c][r];
        inverse.invert();
        std::array<double, K> x{};
        for (int i = 0; i < K; ++i)
            for (int j = 0; j < K; ++j)
                x[i] += inverse.at(j, i) * m_dty[j];
        return x;
    }

private:
    double m_dtd[K][K] = {};
    double m_dty[K] = {};
};

// The phase of A sin(wt + phase) = x0 cos(wt) + x1 sin(wt), moved into [0, 2 pi).
double phaseOf(double x0, double x1) {
    const double phase = std::atan2(x0, x1);
    return x0 < 0.0 ? phase + kTwoPi : phase;
}

// What the three-parameter fit needs of the record at one frequency, with c = cos(w t_i) and
// s = sin(w t_i): the normal matrix's sums of c, s, c^2, s^2 and cs, and D^T y's sums of yc, ys
// and y. The model's RMS follows from the same sums, so one pass over the samples serves both.
struct FitSums {
    double c = 0, s = 0, cc = 0, ss = 0, cs = 0, yc = 0, ys = 0, y = 0;
};

// The sums over one block of the rotation grid, in the block's own frame: with cl, sl the cos and
// sin of the angle from the block's first sample, c = ca cl - sa sl and s = sa cl + ca sl for the
// first angle's ca, sa, which is linear in (cl, sl). So the block is summed in its own frame and
// the sums are turned once (the products as a quadratic form) rather than every sample turned.
// The loops have a fixed length and no branch, and the sums are kept per lane, so that the
// compiler can run samples side by side.
class BlockSums {
public:
    static constexpr int kLanes = 4;
    static constexpr int B = RotationGrid::kBlock;
    static_assert(B % kLanes == 0, "whole lanes per block");

    // The B samples y at times t; false (nothing summed) when one lies too far off the grid for
    // the series, which an irregular time axis does.
    bool sum(const RotationGrid &grid, double omega, const double *t, const double *y) {
        const double anchorAngle = omega * t[0];
        double cl[B], sl[B];
        // Counted in doubles: a mix of integer and double lanes would keep the loop scalar.
        double offGrid = 0.0;
        for (int j = 0; j < B; ++j) {
            const double e = grid.remainder<false>(omega * t[j], anchorAngle, j);
            offGrid += std::fabs(e) <= RotationGrid::kMaxRemainder ? 0.0 : 1.0;
            grid.fromAnchor(e, j, cl[j], sl[j]);
        }
        if (offGrid != 0.0)
            return false;
        double lane[8][kLanes] = {};
        for (int j = 0; j < B; j += kLanes)
            for (int k = 0; k < kLanes; ++k) {
                const double c = cl[j + k], s = sl[j + k], v = y[j + k];
                lane[0][k] += c;
                lane[1][k] += s;
                lane[2][k] += c * c;
                lane[3][k] += s * s;
                lane[4][k] += c * s;
                lane[5][k] += v * c;
                lane[6][k] += v * s;
                lane[7][k] += v;
            }
        for (int q = 0; q < 8; ++q)
            m_local[q] = (lane[q][0] + lane[q][1]) + (lane[q][2] + lane[q][3]);
        return true;
    }

    // Adds the block's sums, turned by the first sample's angle (cos ca, sin sa), to the total.
    void addTurned(FitSums &total, double ca, double sa) const {
        const double c = m_local[0], s = m_local[1], cc = m_local[2], ss = m_local[3], cs = m_local[4];
        total.c += ca * c - sa * s;
        total.s += sa * c + ca * s;
        total.cc += ca * ca * cc - 2.0 * ca * sa * cs + sa * sa * ss;
        total.ss += sa * sa * cc + 2.0 * ca * sa * cs + ca * ca * ss;
        total.cs += ca * sa * (cc - ss) + (ca * ca - sa * sa) * cs;
        total.yc += ca * m_local[5] - sa * m_local[6];
        total.ys += sa * m_local[5] + ca * m_local[6];
        total.y += m_local[7];
    }

private:
    double m_local[8] = {};
};

// Samples first .. end-1 with the exact cos and sin: a block off the grid, or the record's tail.
void addDirectly(FitSums &total, const sineFitData &data, double omega, double step, int first, int end) {
    for (int i = first; i < end; ++i) {
        const double angle = omega * sampleTime(data, step, i);
        const double c = std::cos(angle), s = std::sin(angle), y = data.samples[i];
        total.c += c;
        total.s += s;
        total.cc += c * c;
        total.ss += s * s;
        total.cs += c * s;
        total.yc += y * c;
        total.ys += y * s;
        total.y += y;
    }
}

// The sums at omega in one pass. The cos and sin of each block's first angle re-seed the
// rotation, so no error builds up along the record.
FitSums fitSums(const sineFitData &data, double omega) {
    constexpr int B = RotationGrid::kBlock;
    const double step = data.sampleRate != 0.0 ? 1.0 / data.sampleRate : 0.0;
    const RotationGrid grid(omega * meanSpacing(data));
    FitSums total;
    BlockSums block;
    double uniform[B];
    int first = 0;
    for (; first + B <= data.N; first += B) {
        const double *t = data.timeAxis + first;
        if (data.sampleRate != 0.0) {
            for (int j = 0; j < B; ++j)
                uniform[j] = (first + j) * step;
            t = uniform;
        }
        const double anchorAngle = omega * t[0];
        if (block.sum(grid, omega, t, data.samples + first))
            block.addTurned(total, std::cos(anchorAngle), std::sin(anchorAngle));
        else
            addDirectly(total, data, omega, step, first, first + B);
    }
    addDirectly(total, data, omega, step, first, data.N);
    return total;
}

std::array<double, 3> solveFit(const FitSums &sums, int N) {
    NormalEquations<3> equations;
    equations.set({{{sums.cc, sums.cs, sums.c}, {sums.cs, sums.ss, sums.s}, {sums.c, sums.s, double(N)}}},
                  {sums.yc, sums.ys, sums.y});
    return equations.solve();
}

std::array<double, 3> fitAtFrequency(const sineFitData &data, double omega) {
    return solveFit(fitSums(data, omega), data.N);
}

// The angular-frequency correction (rad/s) of one Gauss-Newton step at omega, where
// a cos(wt) + b sin(wt) is the three-parameter fit there. The fourth column is the derivative of
// that model in w, t (b cos - a sin), taken about the record's middle and divided by the
// amplitude and the record's length. Neither changes the correction (the difference lies in the
// span of cos and sin; the scale is undone), but together they keep the last pivot of the normal
// matrix near N / 24 instead of amplitude^2 seconds^2 N / 24, which the inversion would clamp to
// 0.001 for a short record or a small sine. 0 when there is no sine or no time span to go by.
double frequencyStep(const sineFitData &data, double omega, double a, double b) {
    const double amplitude = std::hypot(a, b);
    const double span = data.N * meanSpacing(data);
    if (!(amplitude > 0.0 && span > 0.0))
        return 0.0;
    const double first = data.sampleRate != 0.0 ? 0.0 : data.timeAxis[0];
    const double middle = first + 0.5 * (data.N - 1) * meanSpacing(data);
    const double scale = 1.0 / (amplitude * span);
    NormalEquations<4> equations;
    forEachSample(data, omega, [&](int i, double t, double c, double s) {
        const double row[4] = {c, s, 1.0, (t - middle) * scale * (b * c - a * s)};
        equations.add(row, data.samples[i]);
    });
    return equations.solve()[3] * scale;
}

// The RMS of A sin(wt + phase) + x2 = x0 c + x1 s + x2: its sum of squares is x^T (D^T D) x,
// from the sums the fit already has. No cancellation to fear: the cross terms hold the sums of
// cs, c and s, which are small against N unless the record spans under a period or so.
double modelRms(const FitSums &m, int N, const std::array<double, 3> &x) {
    const double squares = x[0] * x[0] * m.cc + x[1] * x[1] * m.ss + x[2] * x[2] * N +
                           2.0 * (x[0] * x[1] * m.cs + x[0] * x[2] * m.c + x[1] * x[2] * m.s);
    return std::sqrt(std::max(squares, 0.0) / N);
}

// Summed term by term rather than as y'y - x'D'y: near an exact fit that difference cancels to
// rounding noise and could no longer tell which of two frequencies fits better.
double residualSquares(const sineFitData &data, double omega, const std::array<double, 3> &x) {
    double sum = 0.0;
    forEachSample(data, omega, [&](int i, double, double c, double s) {
        const double r = data.samples[i] - (x[0] * c + x[1] * s + x[2]);
        sum += r * r;
    });
    return sum;
}

// A candidate frequency (Hz) with the three-parameter fit there and what that fit leaves.
struct Trial {
    double frequency;
    std::array<double, 3> x;
    double residual;
};

Trial trialAt(const sineFitData &data, double frequency) {
    const double omega = kTwoPi * frequency;
    const std::array<double, 3> x = fitAtFrequency(data, omega);
    return {frequency, x, residualSquares(data, omega, x)};
}

// When even a thousandth of the step does not lower the residual, the fit is taken to be at its
// minimum (to rounding); the bound also caps what a hopeless start costs.
constexpr int kMaxHalvings = 10;

// One Gauss-Newton step of the frequency. Because a, b and c are the least-squares answer at the
// current frequency, the step points downhill in the residual, but far from the minimum (half a
// bin) the linearisation can overshoot: the step is halved until the residual no longer grows.
// Returns false, leaving `current` alone, when no step helps.
bool improve(const sineFitData &data, Trial &current) {
    double step = frequencyStep(data, kTwoPi * current.frequency, current.x[0], current.x[1]) / kTwoPi;
    if (!(step != 0.0 && std::isfinite(step)))
        return false;
    for (int h = 0; h <= kMaxHalvings; ++h, step *= 0.5) {
        Trial next = trialAt(data, current.frequency + step);
        if (next.residual <= current.residual) {
            current = next;
            return true;
        }
    }
    return false;
}

double samplesRms(const sineFitData &data) {
    double sum = 0.0;
    for (int i = 0; i < data.N; ++i)
        sum += data.samples[i] * data.samples[i];
    return std::sqrt(sum / data.N);
}

void requireSamples(const sineFitData &data) {
    if (data.N < 1)
        throw std::runtime_error("Bad number of columns or rows");
}

[[noreturn]] void allocationFailed() {
    throw std::runtime_error("Memory allocation failed");
}

} // namespace

bool sineFit3(sineFitData &data, double frequency, double &amplitude, double &offset, double *phase,
              double *rms, matrix *parameters) {
    requireSamples(data);
    try {
        const FitSums sums = fitSums(data, kTwoPi * frequency);
        const std::array<double, 3> x = solveFit(sums, data.N);
        amplitude = std::hypot(x[0], x[1]);
        offset = x[2];
        if (phase)
            *phase = phaseOf(x[0], x[1]);
        if (rms)
            *rms = modelRms(sums, data.N, x);
        data.frequency = frequency;
        if (parameters) {
            matrix p(1, 3);
            for (int r = 0; r < 3; ++r)
                p.at(0, r) = x[r];
            *parameters = std::move(p);
        }
        return true;
    } catch (const std::bad_alloc &) {
        allocationFailed();
    }
}

bool sineFit4(sineFitData &data, unsigned int iterations, double relaxation, double &frequency,
              double &amplitude, double &offset, double *phase, double *rms) {
    // Written so that a NaN relaxation is refused too.
    if (iterations > 20 || !(relaxation >= 0.0 && relaxation <= 1.0))
        return false;
    if (iterations == 0)
        return sineFit3(data, frequency, amplitude, offset, phase, rms);
    requireSamples(data);
    try {
        Trial fit = trialAt(data, frequency);
        for (unsigned int k = 0; k < iterations; ++k)
            if (!improve(data, fit))
                break; // at the minimum to rounding: the next steps would fail alike
        // The answer is the three-parameter fit at the frequency found, not the last linearised
        // step's a, b, c, which belong to the frequency before it.
        amplitude = std::hypot(fit.x[0], fit.x[1]);
        offset = fit.x[2];
        if (phase)
            *phase = phaseOf(fit.x[0], fit.x[1]);
        if (rms)
            *rms = samplesRms(data);
        frequency = fit.frequency;
        data.frequency = fit.frequency;
        return true;
    } catch (const std::bad_alloc &) {
        allocationFailed();
    }
}
