#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Prints the usual table and keeps each benchmark's figures for the ratios a benchmark program
// prints after it. A benchmark is named by its registered name, followed by "/" and its
// arguments when it has any ("SetAnimalCount/10000"). With --benchmark_repetitions the median
// stands for the benchmark, else its only run.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || !(run.run_type == Run::RT_Iteration || median)) continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
            m_seconds[name] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const auto vertices = run.counters.find("Mvertices/s");
            if (vertices != run.counters.end()) m_rates[name] = vertices->second.value;
            const auto bytes = run.counters.find("bytes_per_second");
            if (bytes != run.counters.end()) m_rates[name] = bytes->second.value / 1e6;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Seconds per iteration (real time), 0 for a benchmark that did not run.
    double seconds(const std::string& name) const { return find(m_seconds, name); }
    // The rate counter: million vertices per second, or megabytes per second where the
    // benchmark set bytes processed; 0 when there is none.
    double rate(const std::string& name) const { return find(m_rates, name); }

private:
    static double find(const std::map<std::string, double>& figures, const std::string& name)
    {
        const auto it = figures.find(name);
        return it == figures.end() ? 0.0 : it->second;
    }

    std::map<std::string, double> m_seconds;
    std::map<std::string, double> m_rates;
};
