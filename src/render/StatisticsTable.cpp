#include "render/StatisticsTable.h"

#include <cmath>
#include <iomanip>
#include <sstream>

std::string formatFixed1(double value)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(1) << value;
    return out.str();
}

std::string formatCount(unsigned long long count)
{
    if (count > 1000000000ull) return formatFixed1(static_cast<double>(count) * 1e-9) + "bn";
    if (count > 1000000ull) return formatFixed1(static_cast<double>(count) * 1e-6) + "m";
    if (count > 1000ull) return formatFixed1(static_cast<double>(count) * 0.001) + "k";
    return std::to_string(count);
}

std::string animalsText(unsigned totalAnimals, const std::vector<StatisticsFigures::HerdCount>& herds)
{
    std::ostringstream out;
    out << totalAnimals << " (";
    for (std::size_t i = 0; i < herds.size(); ++i) {
        if (i != 0) out << ", ";
        out << herds[i].animals << ' ' << herds[i].name;
        if (herds[i].animals != 1) out << 's';
    }
    out << ')';
    return out.str();
}

std::vector<std::pair<std::string, std::string>> statisticsRows(const StatisticsFigures& figures)
{
    const double throughput = figures.framesPerSecond * static_cast<double>(figures.triangles);
    // Rates of billions of triangles per second still fit; anything beyond the counter's range
    // is no real measurement either, so it is written like a non-number.
    const bool countable = std::isfinite(throughput) && throughput >= 0.0 && throughput < 1.8e19;
    return {
        {"fps", formatFixed1(figures.framesPerSecond)},
        {"time/frame", formatFixed1(figures.averageDrawTime * 1000.0) + "ms"},
        {"animals", animalsText(figures.totalAnimals, figures.herds)},
        {"triangles", formatCount(figures.triangles)},
        {"vertices", formatCount(figures.vertices)},
        {"triangle throughput",
         countable ? formatCount(static_cast<unsigned long long>(throughput)) : formatFixed1(throughput)},
    };
}
