#include "TruncatedSvd.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

extern "C" {
// LAPACK (Fortran calling convention; the trailing lengths are the hidden character lengths).
void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a, const int* lda, double* s,
             double* u, const int* ldu, double* vt, const int* ldvt, double* work, const int* lwork, int* info,
             std::size_t jobuLength, std::size_t jobvtLength);
}

TruncatedSvd::TruncatedSvd(std::vector<double> matrix, int rows, int columns, int rank)
    : m_rows(rows), m_columns(columns), m_rank(std::max(0, std::min({rank, rows, columns})))
{
    if (m_rank == 0) return;
    const int full = std::min(rows, columns);
    std::vector<double> singular(static_cast<std::size_t>(full));
    std::vector<double> u(static_cast<std::size_t>(rows) * full);
    std::vector<double> vt(static_cast<std::size_t>(full) * columns);
    const char job = 'S';
    int info = 0;
    int lwork = -1;
    double query = 0.0;
    dgesvd_(&job, &job, &rows, &columns, matrix.data(), &rows, singular.data(), u.data(), &rows, vt.data(), &full,
            &query, &lwork, &info, 1, 1);
    if (info != 0) throw LinearAlgebraException("SVD workspace query failed with status " + std::to_string(info) + ".");
    lwork = static_cast<int>(query);
    std::vector<double> work(static_cast<std::size_t>(std::max(1, lwork)));
    dgesvd_(&job, &job, &rows, &columns, matrix.data(), &rows, singular.data(), u.data(), &rows, vt.data(), &full,
            work.data(), &lwork, &info, 1, 1);
    if (info != 0) throw LinearAlgebraException("SVD failed with status " + std::to_string(info) + ".");

    m_singularValues.assign(singular.begin(), singular.begin() + m_rank);
    m_left.resize(static_cast<std::size_t>(rows) * m_rank);
    m_right.resize(static_cast<std::size_t>(columns) * m_rank);
    for (int i = 0; i < m_rank; ++i) {
        const double* column = u.data() + static_cast<std::size_t>(i) * rows;
        int largest = 0;
        for (int r = 1; r < rows; ++r)
            if (std::fabs(column[r]) > std::fabs(column[largest])) largest = r;
        const double sign = column[largest] < 0.0 ? -1.0 : 1.0;
        for (int r = 0; r < rows; ++r) m_left[static_cast<std::size_t>(r) + static_cast<std::size_t>(i) * rows] = sign * column[r];
        // Row i of V^T is v_i.
        for (int c = 0; c < columns; ++c)
            m_right[static_cast<std::size_t>(c) + static_cast<std::size_t>(i) * columns] =
                sign * vt[static_cast<std::size_t>(i) + static_cast<std::size_t>(c) * full];
    }
}
