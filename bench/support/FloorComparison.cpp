#include "FloorComparison.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <regex>

namespace {

// Prints every run as the console reporter does and keeps each benchmark's seconds per iteration.
class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& reports) override
    {
        for (const Run& run : reports) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                seconds[run.benchmark_name()].push_back(run.real_accumulated_time / double(run.iterations));
            }
        }
        ConsoleReporter::ReportRuns(reports);
    }

    std::map<std::string, std::vector<double>> seconds;
};

double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string exactly(const std::string& name)
{
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return "^" + std::regex_replace(name, special, R"(\$&)") + "$";
}

std::string printedTime(double seconds)
{
    char text[32];
    if (seconds >= 1) {
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    } else if (seconds >= 1e-3) {
        std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
    }
    return text;
}

} // namespace

void FloorComparison::add(Row row)
{
    m_rows.push_back(std::move(row));
}

int FloorComparison::run(int argc, char** argv)
{
    int turns = 7;
    std::string only;
    std::vector<char*> passed;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--turns=", 8) == 0) {
            turns = std::max(1, std::atoi(argv[i] + 8));
        } else if (std::strncmp(argv[i], "--rows=", 7) == 0) {
            only = argv[i] + 7;
        } else {
            passed.push_back(argv[i]);
        }
    }
    int passedCount = int(passed.size());
    benchmark::Initialize(&passedCount, passed.data());

    std::vector<Row> rows;
    for (const Row& row : m_rows) {
        if (row.path.find(only) != std::string::npos) {
            rows.push_back(row);
        }
    }
    RecordingReporter reporter;
    // Each turn's ratio compares two runs made one right after the other, so a slow spell of a shared
    // machine weighs on both sides of it instead of on whichever side it happened to fall.
    std::vector<std::vector<double>> ratios(rows.size());
    const auto last = [&](const std::string& name) {
        const std::vector<double>& seconds = reporter.seconds[name];
        return seconds.empty() ? 0.0 : seconds.back();
    };
    for (int turn = 0; turn < turns; ++turn) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            benchmark::RunSpecifiedBenchmarks(&reporter, exactly(rows[i].project));
            benchmark::RunSpecifiedBenchmarks(&reporter, exactly(rows[i].floor));
            const double project = last(rows[i].project);
            const double floor = last(rows[i].floor);
            if (project > 0 && floor > 0) {
                ratios[i].push_back(project / floor);
            }
        }
    }
    benchmark::Shutdown();

    std::printf("\nMedians of %d turns each (project and floor in turns, same process; the ratio is the "
                "median of each turn's ratio):\n",
                turns);
    std::printf("%-58s %12s %12s %8s %7s  %s\n", "path", "project", "floor", "ratio", "goal", "met");
    bool allMet = true;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const double project = median(reporter.seconds[row.project]);
        const double floor = median(reporter.seconds[row.floor]);
        if (project <= 0 || floor <= 0 || ratios[i].empty()) {
            std::printf("%-58s %12s %12s %8s %7s  %s\n", row.path.c_str(), "-", "-", "-", "-", "not run");
            allMet = false;
            continue;
        }
        const double ratio = median(ratios[i]);
        char goal[16] = "-";
        const char* met = "";
        if (row.goal > 0) {
            std::snprintf(goal, sizeof goal, "%.2fx", row.goal);
            met = ratio <= row.goal ? "yes" : "NO";
            allMet = allMet && ratio <= row.goal;
        }
        std::printf("%-58s %12s %12s %7.2fx %7s  %s\n", row.path.c_str(), printedTime(project).c_str(),
                    printedTime(floor).c_str(), ratio, goal, met);
    }
    return allMet ? 0 : 1;
}
