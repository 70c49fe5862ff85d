// The sound worker's own CPU time, the platform's mixing cost, and the two
// stress runs: InitSound / ReleaseSound cycles with a stream, and a long
// frame loop with a looping stream whose refills are watched.
#include "benches.h"
#include "measure.h"
#include "process.h"

#include <fw/sound/sound.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace bench {

namespace {

constexpr unsigned kChannel = 0;
constexpr int kCpuRounds = 5;
constexpr double kCpuSeconds = 2.0; // per side and round: 10 s per side
constexpr double kWorkerGoal = 0.001;
constexpr DWORD kHangMs = 20000;

double ThreadCpu(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!thread || !GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

HRESULT StartStream(const char *waveFile) {
    HRESULT hr = StreamSoundChannel(kChannel, waveFile);
    if (hr == 0) {
        SetSoundChannelLoop(kChannel, 1);
        hr = PlaySoundChannel(kChannel);
    }
    return hr;
}

// CPU shares of one core over frames: the worker's and the whole process's.
struct CpuShare {
    double worker;
    double process;
    double workerSeconds;
    double wallSeconds;
};

CpuShare MeasureFrames(double seconds) {
    const double worker = ThreadCpu(sound.hSoundThread);
    const double process = ProcessCpu();
    const double start = Now();
    FrameworkFrames(seconds);
    const double wall = Now() - start;
    const double workerSeconds = ThreadCpu(sound.hSoundThread) - worker;
    return {workerSeconds / wall, (ProcessCpu() - process) / wall, workerSeconds, wall};
}

// Ends the process when the stress run stops making progress.
volatile LONG progress;
volatile LONG watching;

DWORD WINAPI Watchdog(void *) {
    LONG last = progress;
    DWORD still = 0;
    while (watching) {
        Sleep(500);
        if (progress != last) {
            last = progress;
            still = 0;
        } else if ((still += 500) >= kHangMs) {
            Progress("stress: no progress for %lu ms at step %ld: hang", kHangMs, last);
            ExitProcess(3);
        }
    }
    return 0;
}

std::string Percent(double share) { return Format("%.3f %%", share * 100.0); }

} // namespace

void BenchSoundWorker(const char *waveFile) {
    Progress("sound worker: %d rounds of %.0f s idle and %.0f s streaming", kCpuRounds, kCpuSeconds,
             kCpuSeconds);
    std::vector<CpuShare> idle, streaming;
    Alternate(kCpuRounds, {[&] {
                               idle.push_back(MeasureFrames(kCpuSeconds));
                               return 0.0;
                           },
                           [&] {
                               StartStream(waveFile);
                               streaming.push_back(MeasureFrames(kCpuSeconds));
                               CloseSoundChannel(kChannel);
                               return 0.0;
                           }});
    auto worker = [](const std::vector<CpuShare> &shares) {
        std::vector<double> values;
        for (const CpuShare &share : shares) {
            values.push_back(share.worker);
        }
        return values;
    };
    auto process = [](const std::vector<CpuShare> &shares) {
        std::vector<double> values;
        for (const CpuShare &share : shares) {
            values.push_back(share.process);
        }
        return values;
    };
    for (const auto &[name, shares] :
         {std::pair{"idle", &idle}, std::pair{"one stream playing", &streaming}}) {
        const double median = Median(worker(*shares));
        double cpu = 0.0, wall = 0.0;
        for (const CpuShare &share : *shares) {
            cpu += share.workerSeconds;
            wall += share.wallSeconds;
        }
        AddRow({Format("sound worker CPU (own thread), %s", name),
                Format("%s, %.0f ms/%.0f s", Percent(median).c_str(), cpu * 1e3, wall),
                Format("process %s", Percent(Median(process(*shares))).c_str()), -1.0, -1.0,
                "< 0.1 %", median < kWorkerGoal ? 1 : 0});
    }

    // The platform's part: the same frames with the sound system started and
    // released; Wine's DirectSound mixes the silent buffer all the time.
    Progress("sound: process CPU with and without the sound system, %d rounds", kCpuRounds);
    const Times times = Alternate(kCpuRounds, {[] {
                                                   if (!sound.lpDS) {
                                                       InitSound();
                                                   }
                                                   return MeasureFrames(kCpuSeconds).process;
                                               },
                                               [] {
                                                   ReleaseSound();
                                                   return MeasureFrames(kCpuSeconds).process;
                                               }});
    if (!sound.lpDS) {
        InitSound();
    }
    const std::vector<double> ratios = Ratios(times, 0, 1);
    AddRow({"process CPU, frames with sound vs without", Percent(Median(times[0])),
            Percent(Median(times[1])), Min(ratios), Median(ratios), "", -1});
}

void BenchVorbis() {
    const char *ogg = std::getenv("FW_BENCH_OGG");
    const char *wave = std::getenv("FW_BENCH_OGG_WAVE");
    const char *oggdec = std::getenv("FW_BENCH_OGGDEC_SECONDS");
    if (!ogg || !wave || !oggdec) {
        Progress("vorbis: no piece (tools/bench.sh makes it with sox, oggenc and oggdec)");
        return;
    }
    Progress("vorbis: %d rounds of %.0f s streaming it as Vorbis and as a wave file", kCpuRounds,
             kCpuSeconds);
    // One side's rounds: the worker's share of each, its CPU and wall time.
    struct Side {
        std::vector<double> shares;
        double cpu = 0.0;
        double wall = 0.0;
    } vorbis, waves;
    auto stream = [](const char *file, Side &side) {
        StartStream(file);
        const CpuShare share = MeasureFrames(kCpuSeconds);
        CloseSoundChannel(kChannel);
        side.shares.push_back(share.worker);
        side.cpu += share.workerSeconds;
        side.wall += share.wallSeconds;
        return 0.0;
    };
    Alternate(kCpuRounds,
              {[&] { return stream(ogg, vorbis); }, [&] { return stream(wave, waves); }});
    auto figure = [](const Side &side) {
        return Format("%s, %.0f ms/%.0f s", Percent(Median(side.shares)).c_str(), side.cpu * 1e3,
                      side.wall);
    };
    AddRow({"sound worker CPU, stereo 44.1 kHz stream: Vorbis vs wave", figure(vorbis),
            figure(waves), -1.0, -1.0, "", -1});

    // A static open decodes the whole piece into its buffer.
    Progress("vorbis: decoding the piece whole, %d rounds", kCpuRounds);
    std::vector<double> decodes;
    for (int round = 0; round < kCpuRounds; ++round) {
        const double start = Now();
        const HRESULT hr = LoadSoundChannel(kChannel, ogg);
        decodes.push_back(Now() - start);
        CloseSoundChannel(kChannel);
        if (hr != 0) {
            Progress("vorbis: the piece did not open (0x%lx)", static_cast<unsigned long>(hr));
            return;
        }
    }
    const double fw = Min(decodes);
    const double peer = std::atof(oggdec);
    AddRow({"Vorbis decode of 30 s stereo 44.1 kHz: fw vs oggdec",
            Format("%.0f ms (%.0fx real time)", fw * 1e3, 30.0 / fw),
            Format("%.0f ms (%.0fx real time)", peer * 1e3, 30.0 / peer), fw / peer, fw / peer, "",
            -1});
}

void StressSoundCycles(const char *waveFile, int cycles) {
    Progress("stress: %d InitSound / ReleaseSound cycles with a stream", cycles);
    // One cycle first: the platform's first start loads and keeps what it needs.
    ReleaseSound();
    InitSound();
    StartStream(waveFile);
    ReleaseSound();
    const DWORD handlesBefore = HandleCount();
    const int threadsBefore = ThreadCount();

    progress = 0;
    watching = 1;
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    int failures = 0;
    const double start = Now();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        failures += InitSound() != 0;
        failures += StartStream(waveFile) != 0;
        ReleaseSound();
        InterlockedIncrement(&progress);
        if ((cycle + 1) % 100 == 0) {
            Progress("  %d cycles, %.0f s", cycle + 1, Now() - start);
        }
    }
    const double seconds = Now() - start;
    watching = 0;
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);

    const DWORD handlesAfter = HandleCount();
    const int threadsAfter = ThreadCount();
    InitSound();
    const bool met =
        failures == 0 && handlesAfter <= handlesBefore && threadsAfter <= threadsBefore;
    AddRow({Format("stress: %d InitSound/ReleaseSound + stream", cycles),
            Format("%.0f ms/cycle", seconds / cycles * 1e3),
            Format("handles %lu->%lu thr %d->%d", handlesBefore, handlesAfter, threadsBefore,
                   threadsAfter),
            -1.0, -1.0, "no leak/hang", met ? 1 : 0});
    if (failures) {
        Progress("stress: %d failed starts", failures);
    }
}

void StressStreamingFrames(const char *waveFile, double seconds) {
    Progress("stress: %.0f s of frames with a looping stream", seconds);
    if (StartStream(waveFile) != 0) {
        Progress("stress: the stream could not start");
        return;
    }
    SoundChannel &channel = SoundChannels[kChannel];
    const DWORD middle = channel.BufferBytes / 2;
    // The play cursor crosses from one half into the other; the worker then
    // refills the half it left. A second crossing before that refill means
    // the half is playing again with the old samples: a refill late by more
    // than half a buffer.
    int crossings = 0, refills = 0, late = 0, totalRefills = 0;
    double crossedAt = 0.0, maxDelay = 0.0;
    DWORD lastCursor = 0;
    double played = 0.0; // bytes the cursor moved
    LONG lastPhase = channel.RefillPhase;
    channel.lpBuffer->GetCurrentPosition(&lastCursor, nullptr);
    int lastHalf = lastCursor < middle ? 0 : 1;
    progress = 0;
    watching = 1;
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    const double start = Now();
    int frames = 0;
    while (Now() - start < seconds) {
        FrameworkFrame();
        ++frames;
        InterlockedIncrement(&progress);
        EnterCriticalSection(&sound.SoundLock);
        DWORD cursor = 0;
        channel.lpBuffer->GetCurrentPosition(&cursor, nullptr);
        const LONG phase = channel.RefillPhase;
        LeaveCriticalSection(&sound.SoundLock);
        const double now = Now();
        played +=
            cursor >= lastCursor ? cursor - lastCursor : channel.BufferBytes - lastCursor + cursor;
        lastCursor = cursor;
        const int half = cursor < middle ? 0 : 1;
        if (half != lastHalf) {
            lastHalf = half;
            ++crossings;
            crossedAt = now;
        }
        if (phase != lastPhase) {
            lastPhase = phase;
            ++refills;
            ++totalRefills;
            maxDelay = std::max(maxDelay, now - crossedAt);
        }
        if (crossings - refills >= 2) {
            ++late;
            crossings = refills;
        }
    }
    watching = 0;
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);
    const double wall = Now() - start;
    const double soundSeconds = played / channel.Format.nAvgBytesPerSec;
    const double halfMs = 1e3 * channel.HalfBytes / channel.Format.nAvgBytesPerSec * wall /
                          std::max(soundSeconds, 1e-9);
    CloseSoundChannel(kChannel);
    Progress("stress: %d frames, %.1f s of sound in %.1f s, %d refills, %d late, longest wait "
             "%.0f ms (half a buffer lasts %.0f ms here)",
             frames, soundSeconds, wall, totalRefills, late, maxDelay * 1e3, halfMs);
    AddRow({Format("stress: %.0f s frames, looping stream", seconds),
            Format("%d late / %d refills", late, totalRefills),
            Format("max wait %.0f ms", maxDelay * 1e3), -1.0, -1.0,
            Format("0 late (> %.0f ms)", halfMs), late == 0 ? 1 : 0});
}

} // namespace bench
