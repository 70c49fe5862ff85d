// Timing for the benchmark program: a clock, the alternation of the sides
// being compared, and the one table that the run prints at its end.
//
// The machine is shared and noisy, so a comparison is never two separate
// runs: the sides take turns inside one run, round after round, and each
// round gives one ratio. The table reports the smallest and the median ratio.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

// Seconds from an arbitrary origin (QueryPerformanceCounter).
double Now();

double Min(std::vector<double> values);
double Median(std::vector<double> values);

// Times of each side, side by round: times[side][round].
using Times = std::vector<std::vector<double>>;

// Runs every side once per round, in turn, for `rounds` rounds. A side
// returns its own measurement (seconds per unit of work, or any other cost).
// The first side starts odd rounds and the last one even rounds, so neither
// always follows the other.
Times Alternate(int rounds, const std::vector<std::function<double()>> &sides);

// Per-round ratios times[a][r] / times[b][r].
std::vector<double> Ratios(const Times &times, int a, int b);

struct Row {
    std::string name;
    std::string ours; // the framework's figure, median, with its unit
    std::string peer; // the peer's figure, median, with its unit
    double ratioMin;  // ours over peer, per round; < 0: no ratio
    double ratioMedian;
    std::string goal; // as the table prints it; empty: none
    int met;          // 1 met, 0 missed, -1 no goal
};

// Rows are kept in the order added and printed by PrintTable.
void AddRow(const Row &row);
// A row comparing times[a] (ours) with times[b] (the peer); `scale` and
// `unit` turn seconds into the printed unit. The goal, if any, is a ratio
// limit on the median.
void AddRatioRow(const std::string &name, const Times &times, int a, int b, double scale,
                 const char *unit, double goal);
void PrintTable();

// printf-style text.
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
// A progress line on standard output, ahead of the table.
void Progress(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace bench
