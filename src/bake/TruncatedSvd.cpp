#include "TruncatedSvd.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>
#include <string>

// Householder QR brings the tall matrix down to its n x n triangle R; one-sided (Hestenes)
// Jacobi rotations then make R's columns orthogonal: R V = W, with the singular values the
// column lengths of W and U = Q W / sigma. Every sum runs in one fixed loop order in double with
// nothing but +, -, *, / and sqrt, all exactly rounded, so the result is the same bits on every
// processor, which a LAPACK SVD calling processor-dispatched BLAS kernels does not promise.
// One-sided Jacobi also finds small singular values to full relative accuracy.

namespace {

using Index = std::size_t;

double dot(const double* a, const double* b, Index n)
{
    double sum = 0.0;
    for (Index i = 0; i < n; ++i) sum += a[i] * b[i];
    return sum;
}

// Euclidean length without overflow or underflow for any finite input: scaled by the largest
// magnitude first.
double length(const double* a, Index n)
{
    double largest = 0.0;
    for (Index i = 0; i < n; ++i) largest = std::max(largest, std::fabs(a[i]));
    if (largest == 0.0) return 0.0;
    double sum = 0.0;
    for (Index i = 0; i < n; ++i) {
        const double scaled = a[i] / largest;
        sum += scaled * scaled;
    }
    return largest * std::sqrt(sum);
}

// The Householder vectors of a QR factorisation: reflector j is I - 2 v v^T / (v^T v) with v
// nonzero only from row j on; a zero vector stands for the identity.
struct Reflectors {
    Index rows = 0;
    std::vector<std::vector<double>> vectors; // vectors[j] holds rows j .. rows - 1

    // x[j..] -= 2 (v . x[j..]) / (v . v) v, for reflector j.
    void apply(Index j, double* x) const
    {
        const std::vector<double>& v = vectors[j];
        const double vv = dot(v.data(), v.data(), v.size());
        if (vv == 0.0) return;
        const double factor = 2.0 * dot(v.data(), x + j, v.size()) / vv;
        for (Index i = 0; i < v.size(); ++i) x[j + i] -= factor * v[i];
    }
};

// Overwrites the rows x n column-major `a` (rows >= n) with R in its upper n x n triangle and
// returns the reflectors of Q.
Reflectors factorQr(std::vector<double>& a, Index rows, Index n)
{
    Reflectors q;
    q.rows = rows;
    q.vectors.resize(n);
    for (Index j = 0; j < n; ++j) {
        double* column = a.data() + j * rows;
        const double norm = length(column + j, rows - j);
        std::vector<double>& v = q.vectors[j];
        v.assign(column + j, column + rows);
        if (norm == 0.0) {
            std::fill(v.begin(), v.end(), 0.0);
            continue;
        }
        // The sign that avoids cancellation in v[0].
        const double alpha = column[j] < 0.0 ? norm : -norm;
        v[0] -= alpha;
        for (Index k = j + 1; k < n; ++k) q.apply(j, a.data() + k * rows);
        column[j] = alpha;
        std::fill(column + j + 1, column + rows, 0.0);
    }
    return q;
}

// Rotates the columns of the n x n matrices w and v (column-major) until every pair of w's
// columns is orthogonal to working precision. Throws when the sweeps do not settle, which
// finite input does not cause.
void orthogonaliseColumns(std::vector<double>& w, std::vector<double>& v, Index n)
{
    const double tolerance = static_cast<double>(n) * std::numeric_limits<double>::epsilon();
    constexpr int kMaxSweeps = 80;
    for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
        bool rotated = false;
        for (Index p = 0; p + 1 < n; ++p)
            for (Index q = p + 1; q < n; ++q) {
                double* wp = w.data() + p * n;
                double* wq = w.data() + q * n;
                const double alpha = dot(wp, wp, n);
                const double beta = dot(wq, wq, n);
                const double gamma = dot(wp, wq, n);
                // A column whose squared length is below the smallest normal number holds nothing a
                // rotation can resolve: the products underflow, the test below can never pass and
                // the sweeps would go round for ever (seen on an imported model's residuals).
                if (gamma == 0.0 || alpha < std::numeric_limits<double>::min() ||
                    beta < std::numeric_limits<double>::min() ||
                    std::fabs(gamma) <= tolerance * std::sqrt(alpha) * std::sqrt(beta))
                    continue;
                rotated = true;
                // The rotation by the smaller angle that zeroes the pair's inner product.
                const double zeta = (beta - alpha) / (2.0 * gamma);
                const double t = std::fabs(zeta) > 1e150
                                     ? 0.5 / zeta
                                     : std::copysign(1.0, zeta) / (std::fabs(zeta) + std::sqrt(1.0 + zeta * zeta));
                const double c = 1.0 / std::sqrt(1.0 + t * t);
                const double s = c * t;
                for (double* m : {w.data(), v.data()}) {
                    double* mp = m + p * n;
                    double* mq = m + q * n;
                    for (Index i = 0; i < n; ++i) {
                        const double x = mp[i], y = mq[i];
                        mp[i] = c * x - s * y;
                        mq[i] = s * x + c * y;
                    }
                }
            }
        if (!rotated) return;
    }
    throw LinearAlgebraException("SVD did not converge in " + std::to_string(kMaxSweeps) + " sweeps.");
}

// Makes column i (i < count) of the n x n `u` a unit vector orthogonal to the columns before
// it, from the first standard basis vector that leaves enough after projection: a zero singular
// value leaves its left vector free, and the factorisation still wants it orthonormal.
void completeColumn(std::vector<double>& u, Index n, Index i)
{
    double* column = u.data() + i * n;
    for (Index e = 0; e < n; ++e) {
        std::fill(column, column + n, 0.0);
        column[e] = 1.0;
        for (int pass = 0; pass < 2; ++pass)
            for (Index j = 0; j < i; ++j) {
                const double* other = u.data() + j * n;
                const double projection = dot(other, column, n);
                for (Index r = 0; r < n; ++r) column[r] -= projection * other[r];
            }
        const double norm = length(column, n);
        if (norm > 0.5) {
            for (Index r = 0; r < n; ++r) column[r] /= norm;
            return;
        }
    }
}

} // namespace

TruncatedSvd::TruncatedSvd(std::vector<double> matrix, int rows, int columns, int rank)
    : m_rows(rows), m_columns(columns), m_rank(std::max(0, std::min({rank, rows, columns})))
{
    if (m_rank == 0) return;
    for (double x : matrix)
        if (!std::isfinite(x)) throw LinearAlgebraException("SVD of a matrix holding infinities or NaNs.");

    // Factor the taller way round: A^T = V S U^T has the same triplets with the sides swapped.
    const bool transposed = rows < columns;
    const Index tall = static_cast<Index>(transposed ? columns : rows);
    const Index n = static_cast<Index>(transposed ? rows : columns);
    std::vector<double> a;
    if (transposed) {
        a.resize(tall * n);
        for (Index c = 0; c < tall; ++c)
            for (Index r = 0; r < n; ++r) a[c + r * tall] = matrix[r + c * n];
    } else {
        a = std::move(matrix);
    }

    const Reflectors q = factorQr(a, tall, n);
    std::vector<double> w(n * n, 0.0), v(n * n, 0.0);
    for (Index c = 0; c < n; ++c) {
        for (Index r = 0; r <= c; ++r) w[r + c * n] = a[r + c * tall];
        v[c + c * n] = 1.0;
    }
    orthogonaliseColumns(w, v, n);

    std::vector<double> sigma(n);
    for (Index c = 0; c < n; ++c) sigma[c] = length(w.data() + c * n, n);
    std::vector<Index> order(n);
    std::iota(order.begin(), order.end(), Index{0});
    std::stable_sort(order.begin(), order.end(), [&](Index x, Index y) { return sigma[x] > sigma[y]; });

    const Index kept = static_cast<Index>(m_rank);
    // The left vectors within R's space first, then through Q into the tall space.
    std::vector<double> small(n * kept);
    for (Index i = 0; i < kept; ++i) {
        const double s = sigma[order[i]];
        if (s > 0.0)
            for (Index r = 0; r < n; ++r) small[r + i * n] = w[r + order[i] * n] / s;
        else
            completeColumn(small, n, i);
    }
    std::vector<double> tallVectors(tall * kept, 0.0);
    for (Index i = 0; i < kept; ++i) {
        double* column = tallVectors.data() + i * tall;
        std::copy_n(small.data() + i * n, n, column);
        for (Index j = n; j-- > 0;) q.apply(j, column);
    }

    const Index leftRows = static_cast<Index>(rows), rightRows = static_cast<Index>(columns);
    m_singularValues.resize(kept);
    m_left.resize(leftRows * kept);
    m_right.resize(rightRows * kept);
    for (Index i = 0; i < kept; ++i) {
        m_singularValues[i] = sigma[order[i]];
        const double* tallColumn = tallVectors.data() + i * tall;
        const double* smallColumn = v.data() + order[i] * n;
        const double* left = transposed ? smallColumn : tallColumn;
        const double* right = transposed ? tallColumn : smallColumn;
        Index largest = 0;
        for (Index r = 1; r < leftRows; ++r)
            if (std::fabs(left[r]) > std::fabs(left[largest])) largest = r;
        const double sign = left[largest] < 0.0 ? -1.0 : 1.0;
        for (Index r = 0; r < leftRows; ++r) m_left[r + i * leftRows] = sign * left[r];
        for (Index c = 0; c < rightRows; ++c) m_right[c + i * rightRows] = sign * right[c];
    }
}
