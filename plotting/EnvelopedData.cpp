#include "EnvelopedData.h"

#include <utility>

EnvelopedData::EnvelopedData(const double *x, const double *y, size_t n, RunEnvelope envelope)
    : QwtCPointerData(x, y, n), m_envelope(std::move(envelope)) {
    if (n > 0) {
        const auto [low, high] = m_envelope.range();
        d_boundingRect = QRectF(x[0], low, x[n - 1] - x[0], high - low);
    }
}
