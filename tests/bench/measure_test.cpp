#include "../../bench/measure.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(BenchMeasure, MinAndMedianOfOddEvenAndEmptyLists) {
    const struct {
        const char *name;
        std::vector<double> values;
        double min;
        double median;
    } cases[] = {
        {"odd count, unsorted", {5.0, 1.0, 3.0}, 1.0, 3.0},
        {"even count: mean of the middle two", {4.0, 1.0, 3.0, 2.0}, 1.0, 2.5},
        {"one value", {7.0}, 7.0, 7.0},
        {"empty", {}, 0.0, 0.0},
    };
    for (const auto &c : cases) {
        EXPECT_DOUBLE_EQ(bench::Min(c.values), c.min) << c.name;
        EXPECT_DOUBLE_EQ(bench::Median(c.values), c.median) << c.name;
    }
}

TEST(BenchMeasure, SidesTakeTurnsAndSwapWhoGoesFirstEachRound) {
    std::vector<int> order;
    auto side = [&order](int which) {
        return [&order, which] {
            order.push_back(which);
            return static_cast<double>(10 * which + static_cast<int>(order.size()));
        };
    };
    const bench::Times times = bench::Alternate(3, {side(0), side(1), side(2)});
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 2, 1, 0, 0, 1, 2}));
    // Each side keeps its own results, in round order.
    EXPECT_EQ(times[0], (std::vector<double>{1, 6, 7}));
    EXPECT_EQ(times[2], (std::vector<double>{23, 24, 29}));
}

TEST(BenchMeasure, RatiosAreTakenWithinEachRound) {
    const bench::Times times = {{2.0, 6.0, 1.0}, {4.0, 3.0, 0.0}};
    // A peer time of 0 gives no meaningful ratio: 0 rather than infinity.
    EXPECT_EQ(bench::Ratios(times, 0, 1), (std::vector<double>{0.5, 2.0, 0.0}));
}

TEST(BenchMeasure, TableMarksGoalsByTheMedianRatio) {
    bench::AddRatioRow("within goal", {{1.0, 1.0, 3.0}, {1.0, 1.0, 1.0}}, 0, 1, 1e3, "ms", 1.1);
    bench::AddRatioRow("beyond goal", {{2.0, 2.0, 0.5}, {1.0, 1.0, 1.0}}, 0, 1, 1e3, "ms", 1.1);
    bench::AddRatioRow("no goal", {{2.0}, {1.0}}, 0, 1, 1e3, "ms", 0.0);
    testing::internal::CaptureStdout();
    bench::PrintTable();
    const std::string table = testing::internal::GetCapturedStdout();
    auto line = [&table](const char *name) {
        const size_t start = table.find(name);
        return start == std::string::npos ? std::string()
                                          : table.substr(start, table.find('\n', start) - start);
    };
    EXPECT_NE(line("within goal").find("| yes"), std::string::npos) << table;
    EXPECT_NE(line("within goal").find("1.000 / 1.000"), std::string::npos) << table;
    EXPECT_NE(line("beyond goal").find("| NO"), std::string::npos) << table;
    EXPECT_NE(line("beyond goal").find("2000 ms"), std::string::npos) << table;
    EXPECT_EQ(line("no goal").find("yes"), std::string::npos) << table;
    EXPECT_EQ(line("no goal").find("NO"), std::string::npos) << table;
}

} // namespace
