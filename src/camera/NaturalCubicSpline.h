#pragma once

#include <utility>
#include <vector>

// The interpolating natural cubic spline through a set of points (second derivative 0 at
// both ends), computed in double precision; the tridiagonal system for the inner second
// derivatives is solved by LAPACK's dgtsv. Key animation evaluates one per keyed attribute.
class NaturalCubicSpline {
public:
    struct Node {
        double x = 0.0;
        double y = 0.0;
        double m = 0.0; // second derivative at the node
    };

    // Through the points, taken in order of x; of points with equal x the last given counts
    // (two nodes at one x would divide by zero); points at x = NaN are left out. Throws LinearAlgebraException when the solve
    // fails.
    explicit NaturalCubicSpline(std::vector<std::pair<double, double>> points);

    // The spline at x, clamped to [xmin, xmax]; the end values outside. 0 without points.
    double evaluate(double x) const;
    const std::vector<Node>& nodes() const { return m_nodes; }

    // Solves the tridiagonal system in place (rhs becomes the solution) with dgtsv: sub and
    // super have one element less than diag. Throws LinearAlgebraException as checkSolveStatus.
    static void solveTridiagonal(std::vector<double> sub, std::vector<double> diag, std::vector<double> super,
                                 std::vector<double>& rhs);
    // Turns a dgtsv status into its exception: -k for a bad parameter k, k for a zero pivot
    // A(k, k); 0 is success.
    static void checkSolveStatus(int info);

private:
    std::vector<Node> m_nodes;
};
