// A small dense matrix of doubles for the normal equations of the sine fits.
#pragma once

#include <cstddef>
#include <vector>

// Elements are addressed column first, row second; storage is row-major. Failures are
// std::runtime_error with a text the measurement window shows to the user as it is.
class matrix {
public:
    // Zero-filled; "Bad number of columns or rows" when either is below 1.
    matrix(int columns, int rows);

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }

    // "Column or row out of bounds" outside 0 .. columns-1, 0 .. rows-1.
    double at(int column, int row) const;
    double &at(int column, int row);

    // In place: columns and rows change places, (c, r) afterwards holds what (r, c) held.
    void transpose();

    // In place, by Gauss-Jordan elimination without row exchanges. A pivot of magnitude 0.001
    // or less is replaced by +0.001, so a singular matrix yields finite numbers rather than a
    // failure. "Can invert only a square matrix" when columns != rows.
    void invert();

private:
    std::size_t index(int column, int row) const;

    int m_columns;
    int m_rows;
    std::vector<double> m_data;
};
