#include "camera/NaturalCubicSpline.h"

#include "foundation/Exception.h"

#include <algorithm>
#include <sstream>

// LAPACK's general tridiagonal solver (Fortran calling convention; no hidden string lengths).
extern "C" void dgtsv_(const int* n, const int* nrhs, double* dl, double* d, double* du, double* b, const int* ldb,
                       int* info);

NaturalCubicSpline::NaturalCubicSpline(std::vector<std::pair<double, double>> points)
{
    // A NaN position has no place in the order (and would break the sort).
    std::erase_if(points, [](const auto& p) { return p.first != p.first; });
    std::stable_sort(points.begin(), points.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [x, y] : points) {
        if (!m_nodes.empty() && m_nodes.back().x == x)
            m_nodes.back().y = y;
        else
            m_nodes.push_back({x, y, 0.0});
    }
    const std::size_t n = m_nodes.size();
    if (n <= 2) return; // a straight line (or a constant): every m stays 0

    const std::size_t inner = n - 2;
    std::vector<double> sub(inner - 1), diag(inner), super(inner - 1), rhs(inner);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const Node& prev = m_nodes[i - 1];
        const Node& node = m_nodes[i];
        const Node& next = m_nodes[i + 1];
        const std::size_t row = i - 1;
        if (row > 0) sub[row - 1] = (node.x - prev.x) / 6.0;
        diag[row] = (next.x - prev.x) / 3.0;
        if (row + 1 < inner) super[row] = (next.x - node.x) / 6.0;
        rhs[row] = (next.y - node.y) / (next.x - node.x) - (node.y - prev.y) / (node.x - prev.x);
    }
    solveTridiagonal(std::move(sub), std::move(diag), std::move(super), rhs);
    for (std::size_t row = 0; row < inner; ++row) m_nodes[row + 1].m = rhs[row];
}

double NaturalCubicSpline::evaluate(double x) const
{
    if (m_nodes.empty()) return 0.0;
    x = std::clamp(x, m_nodes.front().x, m_nodes.back().x);
    const auto hi = std::lower_bound(m_nodes.begin(), m_nodes.end(), x,
                                     [](const Node& node, double value) { return node.x < value; });
    if (hi == m_nodes.begin()) return hi->y;
    if (hi == m_nodes.end()) return m_nodes.back().y;
    const Node& lo = *(hi - 1);
    const double h = hi->x - lo.x;
    const double a = (hi->x - x) / h;
    const double b = (x - lo.x) / h;
    return a * lo.y + b * hi->y + ((a * a * a - a) * lo.m + (b * b * b - b) * hi->m) * h * h / 6.0;
}

void NaturalCubicSpline::solveTridiagonal(std::vector<double> sub, std::vector<double> diag, std::vector<double> super,
                                          std::vector<double>& rhs)
{
    const int n = static_cast<int>(diag.size());
    const int nrhs = 1;
    const int ldb = std::max(1, n);
    int info = 0;
    // dgtsv reads n - 1 off-diagonal elements; a one-row system has none, but the pointers
    // must still be valid.
    double none = 0.0;
    dgtsv_(&n, &nrhs, sub.empty() ? &none : sub.data(), diag.data(), super.empty() ? &none : super.data(), rhs.data(),
           &ldb, &info);
    checkSolveStatus(info);
}

void NaturalCubicSpline::checkSolveStatus(int info)
{
    std::ostringstream message;
    if (info < 0) {
        message << "Tridiagonal solve failed due to invalid parameter #" << -info;
        throw LinearAlgebraException(message.str());
    }
    if (info > 0) {
        message << "Tridiagonal solve failed because A(" << info << ", " << info << ") is exactly 0.";
        throw LinearAlgebraException(message.str());
    }
}
