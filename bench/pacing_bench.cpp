// Frame pacing: the frame-rate cap's spacing, a minimised program's CPU
// time, and the frame loop with vertical sync off against the bare loop.
#include "benches.h"
#include "measure.h"
#include "process.h"

#include <fw/app/framework.h>
#include <fw/app/window.h>
#include <fw/graphics/graphics.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

namespace {

constexpr int kCapRate = 60;
constexpr int kCapFrames = 301; // 5 s
constexpr double kCapPeriodMs = 1000.0 / kCapRate;
constexpr double kIdleSeconds = 3.0;

// The process's CPU seconds per wall second over `seconds` of frames.
double CpuPerSecond(double seconds) {
    const double cpu = ProcessCpu();
    const double start = Now();
    const int frames = FrameworkFrames(seconds);
    const double wall = Now() - start;
    Progress("pacing: %d frames in %.1f s, %s", frames, wall,
             IsIconic(GetWindowHandle()) ? "minimised" : "shown");
    return (ProcessCpu() - cpu) / wall;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// The cap's spacing over `frame`: median gap between frame starts against
// the period, and the spread of the gaps.
void CapRows(const char *what, void (*frame)()) {
    SetFrameRateLimit(kCapRate);
    for (int i = 0; i < kCapRate / 2; ++i) {
        frame();
    }
    std::vector<double> gaps; // ms between the starts of two frames
    double last = Now();
    for (int i = 0; i < kCapFrames; ++i) {
        frame();
        const double now = Now();
        gaps.push_back((now - last) * 1e3);
        last = now;
    }
    SetFrameRateLimit(0);
    const double median = Median(gaps);
    const double spread = Percentile(gaps, 0.95) - Percentile(gaps, 0.05);
    AddRow({Format("pacing: cap 60/s, %s: median frame time", what), Format("%.3f ms", median),
            Format("%.3f ms", kCapPeriodMs), median / kCapPeriodMs, median / kCapPeriodMs,
            "within 2 %", std::fabs(median / kCapPeriodMs - 1.0) <= 0.02 ? 1 : 0});
    AddRow({Format("pacing: cap 60/s, %s: spread (5th to 95th pct)", what),
            Format("%.3f ms", spread), "", -1.0, -1.0, "< 2 ms", spread < 2.0 ? 1 : 0});
}

void LoopAlone() { UpdateFramework(); }

} // namespace

void BenchPacing() {
    Progress("pacing: %d frames capped at %d a second, twice", kCapFrames, kCapRate);
    // The wait alone, then with a frame drawn (which on a slow renderer can
    // take longer than the period itself).
    CapRows("loop alone", LoopAlone);
    CapRows("drawn frames", FrameworkFrame);

    Progress("pacing: CPU time shown and minimised, %.0f s each", kIdleSeconds);
    const double shown = CpuPerSecond(kIdleSeconds);
    ShowWindow(GetWindowHandle(), SW_MINIMIZE);
    FrameworkFrames(0.3);
    const double minimised = CpuPerSecond(kIdleSeconds);
    ShowWindow(GetWindowHandle(), SW_RESTORE);
    FrameworkFrames(0.3);
    AddRow({"pacing: CPU per second, minimised vs shown", Format("%.1f %%", minimised * 100),
            Format("%.1f %%", shown * 100), minimised / shown, minimised / shown, "< 5 %",
            minimised < 0.05 ? 1 : 0});
}

} // namespace bench
