#include "measure.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace bench {

namespace {

std::vector<Row> rows;

std::string VFormat(const char *format, va_list args) {
    char text[512];
    vsnprintf(text, sizeof text, format, args);
    return text;
}

} // namespace

double Now() {
    static const double period = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return 1.0 / static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * period;
}

double Min(std::vector<double> values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

Times Alternate(int rounds, const std::vector<std::function<double()>> &sides) {
    Times times(sides.size());
    const int count = static_cast<int>(sides.size());
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < count; ++turn) {
            const int side = round % 2 ? count - 1 - turn : turn;
            times[side].push_back(sides[side]());
        }
    }
    return times;
}

std::vector<double> Ratios(const Times &times, int a, int b) {
    std::vector<double> ratios;
    for (size_t round = 0; round < times[a].size() && round < times[b].size(); ++round) {
        ratios.push_back(times[b][round] > 0.0 ? times[a][round] / times[b][round] : 0.0);
    }
    return ratios;
}

void AddRow(const Row &row) { rows.push_back(row); }

void AddRatioRow(const std::string &name, const Times &times, int a, int b, double scale,
                 const char *unit, double goal) {
    const std::vector<double> ratios = Ratios(times, a, b);
    Row row;
    row.name = name;
    row.ours = Format("%.4g %s", Median(times[a]) * scale, unit);
    row.peer = Format("%.4g %s", Median(times[b]) * scale, unit);
    row.ratioMin = Min(ratios);
    row.ratioMedian = Median(ratios);
    row.goal = goal > 0.0 ? Format("<= %.2f", goal) : "";
    row.met = goal > 0.0 ? (row.ratioMedian <= goal ? 1 : 0) : -1;
    AddRow(row);
}

void PrintTable() {
    constexpr int kWidths[] = {56, 20, 26, 17, 18, 4};
    auto line = [&](const std::string(&cells)[6]) {
        for (int i = 0; i < 6; ++i) {
            std::printf("| %-*s ", kWidths[i], cells[i].c_str());
        }
        std::printf("|\n");
    };
    line({"measurement (ours vs peer)", "ours, median", "peer, median", "ratio min / median",
          "goal", "met"});
    for (const int width : kWidths) {
        std::printf("|%s", std::string(width + 2, '-').c_str());
    }
    std::printf("|\n");
    for (const Row &row : rows) {
        line({row.name, row.ours, row.peer,
              row.ratioMin < 0.0 ? "" : Format("%.3f / %.3f", row.ratioMin, row.ratioMedian),
              row.goal,
              row.met < 0 ? ""
              : row.met   ? "yes"
                          : "NO"});
    }
    std::fflush(stdout);
}

std::string Format(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    return text;
}

void Progress(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

} // namespace bench
