#pragma once

#include <string>
#include <utility>
#include <vector>

// The texts of the view's statistics overlay, computed without GL so that the exact labels and
// number formats can be checked anywhere. The view gathers the figures; this turns them into
// the rows it draws.
struct StatisticsFigures {
    // One herd's share of the "animals" row.
    struct HerdCount {
        unsigned animals = 0;
        std::string name;
    };

    double framesPerSecond = 0.0;
    // Exponential average of the draw time, in seconds.
    double averageDrawTime = 0.0;
    unsigned totalAnimals = 0;
    std::vector<HerdCount> herds;
    unsigned long long triangles = 0;
    unsigned long long vertices = 0;
};

// A count as the overlay shows it: above a billion "1.2bn", above a million "3.4m", above a
// thousand "5.6k" (one decimal), else the plain integer. So 1000 stays "1000", 1001 is "1.0k"
// and 1000000 is "1000.0k".
std::string formatCount(unsigned long long count);

// Fixed notation with one decimal ("59.8"); NaN and infinities as the stream writes them.
std::string formatFixed1(double value);

// "12 (10 horses, 2 elephants)": the total, then each herd's count and name, plural "s" unless
// the count is 1. With no herds "0 ()".
std::string animalsText(unsigned totalAnimals, const std::vector<StatisticsFigures::HerdCount>& herds);

// The rows, in drawing order: "fps", "time/frame", "animals", "triangles", "vertices",
// "triangle throughput". The throughput (fps x triangles) shows the stream's text for a rate
// that is not a finite number, since there is no count to truncate then.
std::vector<std::pair<std::string, std::string>> statisticsRows(const StatisticsFigures& figures);
