#include "matrix.h"

#include <cmath>
#include <stdexcept>

namespace {

// The only guard against a zero or vanishing pivot, since rows are never exchanged. Small
// negative pivots become +0.001 as well: the sign is deliberately not kept.
double clampPivot(double d) {
    return std::fabs(d) > 0.001 ? d : 0.001;
}

// Row i minus (T[i][k] / clamp(T[k][k])) times row k, over the columns first .. last. The
// columns run downward so that T[i][k] keeps its old value until its own column is updated.
void eliminate(std::vector<double> &t, int width, int k, int i, int first) {
    double *rowK = &t[static_cast<size_t>(k) * width];
    double *rowI = &t[static_cast<size_t>(i) * width];
    for (int c = width - 1; c >= first; --c)
        rowI[c] = rowI[c] - rowK[c] * rowI[k] / clampPivot(rowK[k]);
}

} // namespace

matrix::matrix(int columns, int rows) : m_columns(columns), m_rows(rows) {
    if (columns < 1 || rows < 1)
        throw std::runtime_error("Bad number of columns or rows");
    m_data.assign(static_cast<size_t>(columns) * static_cast<size_t>(rows), 0.0);
}

std::size_t matrix::index(int column, int row) const {
    if (column < 0 || column >= m_columns || row < 0 || row >= m_rows)
        throw std::runtime_error("Column or row out of bounds");
    return static_cast<std::size_t>(row) * m_columns + column;
}

double matrix::at(int column, int row) const {
    return m_data[index(column, row)];
}

double &matrix::at(int column, int row) {
    return m_data[index(column, row)];
}

void matrix::transpose() {
    matrix swapped(m_rows, m_columns);
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_columns; ++c)
            swapped.m_data[static_cast<size_t>(c) * m_rows + r] =
                m_data[static_cast<size_t>(r) * m_columns + c];
    *this = std::move(swapped);
}

void matrix::invert() {
    if (m_columns != m_rows)
        throw std::runtime_error("Can invert only a square matrix");
    const int n = m_rows;
    const int width = 2 * n;

    // [ this | identity ], reduced until the right half holds the inverse.
    std::vector<double> t(static_cast<size_t>(n) * width, 0.0);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c)
            t[static_cast<size_t>(r) * width + c] = m_data[static_cast<size_t>(r) * n + c];
        t[static_cast<size_t>(r) * width + n + r] = 1.0;
    }

    for (int k = 0; k < n - 1; ++k)
        for (int i = k + 1; i < n; ++i)
            eliminate(t, width, k, i, k);
    for (int k = n - 1; k >= 1; --k)
        for (int i = k - 1; i >= 0; --i)
            eliminate(t, width, k, i, k);

    // The diagonal is read again for every column, as the elimination left it; only the right
    // half is kept, and it is divided before the diagonal element itself changes.
    for (int r = 0; r < n; ++r) {
        double *row = &t[static_cast<size_t>(r) * width];
        for (int c = width - 1; c >= 0; --c)
            row[c] = row[c] / clampPivot(row[r]);
    }

    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            m_data[static_cast<size_t>(r) * n + c] = t[static_cast<size_t>(r) * width + n + c];
}
