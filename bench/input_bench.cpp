// Frame times while controllers come and go: fw's frame with no controller,
// with one, and across plugs and unplugs, beside a bare Direct3D 9 loop in
// the same run, so that fw's share is told from the renderer's.
#include "benches.h"
#include "measure.h"

#include "real/virtual_joystick.h"

#include <fw/input/input.h>

#include <algorithm>
#include <vector>

namespace bench {

namespace {

struct Spread {
    double median, p99, max; // seconds
};

// Frames of `frame` for `seconds`; `between(elapsed)` runs before each.
Spread TimeEachFrame(void (*frame)(), double seconds, void (*between)(double elapsed)) {
    std::vector<double> frames;
    const double start = Now();
    for (double now = start; now - start < seconds; now = Now()) {
        if (between != nullptr) {
            between(now - start);
        }
        frame();
        frames.push_back(Now() - now);
    }
    std::sort(frames.begin(), frames.end());
    const size_t p99 = std::min(frames.size() - 1, frames.size() * 99 / 100);
    return {frames[frames.size() / 2], frames[p99], frames.back()};
}

std::string Describe(const Spread &s) {
    return Format("%.2f / %.2f (%.2fx) / %.1f (%.2fx) ms", s.median * 1e3, s.p99 * 1e3,
                  s.p99 / s.median, s.max * 1e3, s.max / s.median);
}

} // namespace

void BenchInputFrames(double seconds) {
    Progress("input: frame times over %.0f s, no controller, one, plugs and unplugs", seconds);
    virtual_joystick::SetPlugged(false);
    FrameworkFrames(0.5);
    const Spread bare = TimeEachFrame(BareFrame, seconds, nullptr);
    struct Case {
        const char *name;
        bool plugged;
        void (*between)(double elapsed);
    };
    const Case cases[] = {
        {"no controller", false, nullptr},
        {"one controller", true, nullptr},
        // Pulled out and plugged in again every half second.
        {"plug and unplug every 0.5 s", true,
         [](double elapsed) {
             virtual_joystick::SetPlugged(static_cast<int>(elapsed * 2) % 2 == 0);
         }},
    };
    for (const Case &c : cases) {
        virtual_joystick::SetPlugged(c.plugged);
        FrameworkFrames(0.5); // the controller picked up or let go
        const Spread fw = TimeEachFrame(FrameworkFrame, seconds, c.between);
        // Met where fw's frames are even (p99 within 1.5 and the longest
        // within 3 medians) or no less even than the bare loop's.
        const bool even = fw.p99 <= 1.5 * fw.median && fw.max <= 3.0 * fw.median;
        const bool asBare = fw.p99 / fw.median <= bare.p99 / bare.median &&
                            fw.max / fw.median <= bare.max / bare.median;
        AddRow({Format("input frames %.0f s, %s: median / p99 / max, fw vs bare D3D9", seconds,
                       c.name),
                Describe(fw), Describe(bare), fw.median / bare.median, fw.median / bare.median,
                "p99 <= 1.5x, max <= 3x median (or as bare)", even || asBare ? 1 : 0});
    }
    virtual_joystick::SetPlugged(true);
    FrameworkFrames(0.5);
}

} // namespace bench
