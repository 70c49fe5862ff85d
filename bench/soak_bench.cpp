// The soak run: the demo's and the showcase's scenes, each in a process of
// its own, for minutes under a tour that loops (the virtual joystick's stick
// and buttons, as a player would press them). Every 10 s the process samples
// itself: open handles, private memory, threads, the frame times of the span
// and, for the showcase, refills of its music stream that came too late.
#include "benches.h"
#include "measure.h"
#include "process.h"

#include <fw/app/framework.h>
#include "../demo/demo.h"
#include "real/virtual_joystick.h"
#include "../showcase/showcase.h"
#include <fw/shader/shader.h>
#include <fw/sound/sound.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

namespace {

constexpr double kSampleSeconds = 10.0;
constexpr double kStepSeconds = 1.0; // one tour step a second
// The growth goals look at the samples after the first two minutes.
constexpr double kSettleSeconds = 120.0;

// One step of a tour: the stick and buttons held for `frames` frames, then
// released. Each tour's pushes cancel out and each switch is pressed an even
// number of times, so the scene is back where it began after a loop.
struct Step {
    LONG x;
    LONG y;
    DWORD buttons;
    int frames;
};
constexpr LONG kFull = virtual_joystick::kAxisFull;
// Demo: button 0 the effect, button 1 the shader pair; the flag goes right
// and back, up and back.
const Step kDemoTour[] = {{kFull, 0, 0, 4},  {0, 0, 1, 2}, {-kFull, 0, 0, 4}, {0, 0, 2, 2},
                          {0, -kFull, 0, 3}, {0, 0, 1, 2}, {0, kFull, 0, 3},  {0, 0, 2, 2}};
// Showcase: bursts with the chime and the pop, the glow and the trails
// switched, the sound off and on, the centre pushed about.
const Step kShowcaseTour[] = {{0, 0, 1, 2},       {0, 0, 2, 2},       {kFull, 0, 0, 20},
                              {0, 0, 4, 2},       {-kFull, 0, 0, 20}, {0, 0, 8, 2},
                              {0, 0, 16, 2},      {0, 0, 16, 2},      {0, 0, 4, 2},
                              {0, -kFull, 0, 20}, {0, 0, 8, 2},       {0, kFull, 0, 20}};

struct Sample {
    double at;
    DWORD handles;
    double privateMb;
    int threads;
    int frames;
    double meanMs;
    double maxMs;
    int late;
};

// Committed private memory, region by region.
// NOTE: Wine reports 0 for PROCESS_MEMORY_COUNTERS_EX's PrivateUsage.
double PrivateMb() {
    double bytes = 0.0;
    MEMORY_BASIC_INFORMATION region = {};
    for (const char *at = nullptr;
         VirtualQuery(at, &region, sizeof region) == sizeof region && region.RegionSize > 0;
         at = static_cast<const char *>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            bytes += static_cast<double>(region.RegionSize);
        }
    }
    return bytes / (1024.0 * 1024.0);
}

// Late refills of a looping stream, by the way the stress run counts them:
// the play cursor crosses from one half of the buffer into the other and the
// worker then refills the half it left; a second crossing before that refill
// means the half plays again with its old samples. While the channel is
// stopped nothing is counted and the count starts again when it plays. A
// thread of its own looks every 5 ms: the frames are slower than a half
// plays on ALSA's null device.
struct RefillWatch {
    unsigned channel;
    volatile LONG running = 1;
    volatile LONG late = 0;
    bool watching = false;
    int lastHalf = 0;
    LONG lastPhase = 0;
    int crossings = 0;
    int refills = 0;

    static DWORD WINAPI Run(void *self) {
        auto *watch = static_cast<RefillWatch *>(self);
        while (watch->running) {
            watch->Look();
            Sleep(5);
        }
        return 0;
    }

    void Look() {
        SoundChannel &stream = SoundChannels[channel];
        EnterCriticalSection(&sound.SoundLock);
        DWORD status = 0;
        DWORD cursor = 0;
        const bool playing = stream.lpBuffer != nullptr &&
                             SUCCEEDED(stream.lpBuffer->GetStatus(&status)) &&
                             (status & DSBSTATUS_PLAYING) &&
                             SUCCEEDED(stream.lpBuffer->GetCurrentPosition(&cursor, nullptr));
        const LONG phase = stream.RefillPhase;
        const DWORD middle = stream.BufferBytes / 2;
        LeaveCriticalSection(&sound.SoundLock);
        const int half = cursor < middle ? 0 : 1;
        if (!playing || !watching) {
            watching = playing;
            lastHalf = half;
            lastPhase = phase;
            crossings = refills = 0;
            return;
        }
        if (half != lastHalf) {
            lastHalf = half;
            ++crossings;
        }
        if (phase != lastPhase) {
            lastPhase = phase;
            ++refills;
        }
        if (crossings - refills >= 2) {
            InterlockedIncrement(&late);
            crossings = refills;
        }
    }
};

// Growth of a figure from the sample at kSettleSeconds to the largest after.
template <typename Get> double Growth(const std::vector<Sample> &samples, Get get) {
    double base = -1.0;
    double most = 0.0;
    for (const Sample &sample : samples) {
        if (sample.at < kSettleSeconds) {
            continue;
        }
        if (base < 0) {
            base = get(sample);
        }
        most = std::max(most, get(sample));
    }
    return base < 0 ? 0.0 : most - base;
}

void Summarise(const char *program, const std::vector<Sample> &samples) {
    if (samples.size() < 2) {
        AddRow({Format("soak %s", program), "too short", "", -1.0, -1.0, "", 0});
        return;
    }
    const Sample &first = samples.front();
    const Sample &last = samples.back();
    const double handles = Growth(samples, [](const Sample &s) { return double(s.handles); });
    const double memory = Growth(samples, [](const Sample &s) { return s.privateMb; });
    const double threads = Growth(samples, [](const Sample &s) { return double(s.threads); });
    std::vector<double> means;
    double worst = 0.0;
    int frames = 0;
    for (const Sample &sample : samples) {
        if (sample.at >= kSettleSeconds) {
            means.push_back(sample.meanMs);
        }
        worst = std::max(worst, sample.maxMs);
        frames += sample.frames;
    }
    const double lo = means.empty() ? 0.0 : *std::min_element(means.begin(), means.end());
    const double hi = means.empty() ? 0.0 : *std::max_element(means.begin(), means.end());
    const double median = means.empty() ? 0.0 : Median(means);
    AddRow({Format("soak %s: handles (10 s, end; growth after 2 min)", program),
            Format("%lu -> %lu", first.handles, last.handles), Format("+%.0f", handles), -1.0, -1.0,
            "<= +4", handles <= 4 ? 1 : 0});
    AddRow({Format("soak %s: private memory MB", program),
            Format("%.1f -> %.1f", first.privateMb, last.privateMb), Format("+%.2f", memory), -1.0,
            -1.0, "<= +1 MB", memory <= 1.0 ? 1 : 0});
    AddRow({Format("soak %s: threads", program), Format("%d -> %d", first.threads, last.threads),
            Format("+%.0f", threads), -1.0, -1.0, "+0", threads <= 0 ? 1 : 0});
    AddRow({Format("soak %s: frame ms, 10 s means after 2 min", program),
            Format("median %.2f", median), Format("%.2f..%.2f, max %.0f", lo, hi, worst), -1.0,
            -1.0, "steady", hi <= 1.5 * median ? 1 : 0});
    AddRow({Format("soak %s: frames, late refills", program), Format("%d frames", frames),
            Format("%d late", last.late), -1.0, -1.0, "0 late", last.late == 0 ? 1 : 0});
}

} // namespace

int RunSoakChild(const char *program, double seconds) {
    const bool showcase = std::strcmp(program, "showcase") == 0;
    const Step *tour = showcase ? kShowcaseTour : kDemoTour;
    const size_t tourSteps = showcase ? sizeof kShowcaseTour / sizeof kShowcaseTour[0]
                                      : sizeof kDemoTour / sizeof kDemoTour[0];
    if (showcase) {
        // The showcase reads its image and waves from the build's showcase/.
        char folder[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
        std::string path(folder, length);
        path = path.substr(0, path.find_last_of("\\/") + 1) + "showcase";
        SetCurrentDirectoryA(path.c_str());
    }
    if (InitFramework(showcase ? "fw showcase" : "fw", 800, 600, 1) != 0) {
        std::printf("soak %s: the framework did not start\n", program);
        return 1;
    }
    if (showcase) {
        StartShowcase();
    } else {
        LoadDemo();
    }
    RefillWatch refills{kShowcaseMusicChannel};
    HANDLE watcher =
        showcase ? CreateThread(nullptr, 0, RefillWatch::Run, &refills, 0, nullptr) : nullptr;
    std::vector<Sample> samples;
    std::vector<double> span;
    size_t step = 0;
    int held = 0;
    const double start = Now();
    double nextStep = start;
    double nextSample = start + kSampleSeconds;
    double last = start;
    for (;;) {
        const double now = Now();
        if (now >= nextStep) {
            nextStep += kStepSeconds;
            const Step &s = tour[step++ % tourSteps];
            virtual_joystick::SetAxes(s.x, s.y);
            for (int button = 0; button < 8; ++button) {
                virtual_joystick::SetButton(button, (s.buttons >> button) & 1);
            }
            held = s.frames;
        } else if (held > 0 && --held == 0) {
            virtual_joystick::Reset();
        }
        if (!UpdateFramework()) {
            break;
        }
        if (showcase) {
            UpdateShowcase();
            DrawShowcase();
        } else {
            UpdateDemo();
            DrawDemo();
        }
        const double done = Now();
        span.push_back(done - last);
        last = done;
        if (done >= nextSample) {
            nextSample += kSampleSeconds;
            double sum = 0.0;
            for (double t : span) {
                sum += t;
            }
            const Sample sample{done - start,
                                HandleCount(),
                                PrivateMb(),
                                ThreadCount(),
                                static_cast<int>(span.size()),
                                1e3 * sum / span.size(),
                                1e3 * *std::max_element(span.begin(), span.end()),
                                refills.late};
            samples.push_back(sample);
            span.clear();
            Progress("soak %s %4.0f s: handles %lu, private %.1f MB, threads %d, %d frames, "
                     "frame %.2f ms mean %.0f ms max, %d late refills",
                     program, sample.at, sample.handles, sample.privateMb, sample.threads,
                     sample.frames, sample.meanMs, sample.maxMs, sample.late);
            if (sample.at >= seconds) {
                break;
            }
            // The sample's own time (a handle count asks the server about
            // every handle value) is no frame's.
            last = Now();
        }
    }
    if (watcher) {
        refills.running = 0;
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
    }
    Summarise(program, samples);
    PrintTable();
    if (!showcase) {
        ReleaseShader();
    }
    ExitFramework();
    return 0;
}

void BenchSoak(double seconds) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    for (const char *program : {"demo", "showcase"}) {
        Progress("soak: %s for %.0f s", program, seconds);
        std::string command = Format("\"%s\" soak %s %.0f", self, program, seconds);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                            &startup, &process)) {
            Progress("soak: %s did not start", program);
            continue;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        Progress("soak: %s exited with %lu", program, code);
    }
}

} // namespace bench
