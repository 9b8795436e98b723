#pragma once

#include <string>
#include <vector>

// Runs each project benchmark and its floor in turns (project, floor, project, floor, ...) in one
// process, then prints their median real times and the median of each turn's ratio beside the goal. A
// scaling row compares the same path at 10x the work (as the project) with 1x (as the floor).
//   --turns=N     rounds of turns (default 7)
//   --rows=TEXT   only the rows whose path contains TEXT
// Other arguments go to Google Benchmark (--benchmark_min_time=0.2 shortens a run).
class FloorComparison
{
public:
    struct Row
    {
        std::string path;
        // Exact benchmark names, as Google Benchmark prints them.
        std::string project;
        std::string floor;
        // The ratio must stay at or below it; 0 prints the ratio without a goal.
        double goal = 0;
    };

    void add(Row row);
    // Parses the arguments, runs the turns and prints the table; the exit status (0: every goal met).
    int run(int argc, char** argv);

private:
    std::vector<Row> m_rows;
};
