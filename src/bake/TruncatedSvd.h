#pragma once

#include <vector>

// The leading singular triplets of a dense matrix: the best rank-k approximation
// A ~ sum over i < k of sigma_i u_i v_i^T in the least-squares sense, which is what compresses
// per-frame corrections and lighting into a few basis vectors. Computed in a fixed order from
// exactly rounded operations, so the sample files are the same bits on every processor.
class TruncatedSvd {
public:
    // `matrix` is rows x columns, column-major. Keeps min(rank, rows, columns) triplets, largest
    // singular value first. Throws LinearAlgebraException for a matrix holding infinities or NaNs.
    TruncatedSvd(std::vector<double> matrix, int rows, int columns, int rank);

    int rank() const { return m_rank; }
    int rows() const { return m_rows; }
    int columns() const { return m_columns; }
    double singularValue(int i) const { return m_singularValues[static_cast<std::size_t>(i)]; }
    // u_i(r) and v_i(c), unit vectors, orthogonal to the others of their side. Each pair is
    // signed so that u_i's largest-magnitude element (the first of equals) is positive: the
    // factorisation leaves the signs free, the files should not.
    double left(int r, int i) const { return m_left[static_cast<std::size_t>(r) + static_cast<std::size_t>(i) * m_rows]; }
    double right(int c, int i) const { return m_right[static_cast<std::size_t>(c) + static_cast<std::size_t>(i) * m_columns]; }

private:
    int m_rows;
    int m_columns;
    int m_rank;
    std::vector<double> m_singularValues;
    std::vector<double> m_left;  // rows x rank, column-major
    std::vector<double> m_right; // columns x rank, column-major
};
