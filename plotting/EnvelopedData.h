// Raw samples with ascending x and the envelope of their y values, which a ColumnReducedCurve
// reads instead of every sample; its bounding rectangle (for autoscaling) comes from the
// envelope too. Both x and y stay the caller's, as with setRawSamples.
#pragma once

#include "RunEnvelope.h"

#include <qwt_point_data.h>

class EnvelopedData : public QwtCPointerData {
public:
    EnvelopedData(const double *x, const double *y, size_t n, RunEnvelope envelope);
    const RunEnvelope &envelope() const { return m_envelope; }

private:
    RunEnvelope m_envelope;
};
