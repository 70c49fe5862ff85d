// fw's benchmark program: what the framework costs over bare Direct3D 9 and
// where its quad batch stands among its peers. Runs every measurement and
// the stress runs, then prints one table. Started by tools/bench.sh.
//
//   fw_bench [--quick] [--only PART]
//     --quick: 20 sound cycles and 10 s of stress frames instead of 1000 and
//              60 s, for trying the program out
//     --only:  one of startup, frame, input, pacing, quads, tasks, crc, sound, stress, or
//              soak: 10 minutes each of the demo and the showcase (1 minute
//              with --quick), which runs only when asked for
#include "benches.h"
#include "measure.h"

#include <fw/app/framework.h>
#include <fw/graphics/graphics.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kStartupRounds = 5;

void Put16(std::vector<uint8_t> &out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t> &out, uint32_t value) {
    Put16(out, static_cast<uint16_t>(value));
    Put16(out, static_cast<uint16_t>(value >> 16));
}

// Ten seconds of a 440 Hz tone, 44.1 kHz 16-bit stereo, for the streams.
bool WriteWave(const std::string &path) {
    constexpr uint32_t kRate = 44100;
    constexpr uint32_t kFrames = 10 * kRate;
    std::vector<uint8_t> file;
    file.insert(file.end(), {'R', 'I', 'F', 'F'});
    Put32(file, 36 + kFrames * 4);
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(file, 16);
    Put16(file, WAVE_FORMAT_PCM);
    Put16(file, 2);
    Put32(file, kRate);
    Put32(file, kRate * 4);
    Put16(file, 4);
    Put16(file, 16);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    Put32(file, kFrames * 4);
    for (uint32_t i = 0; i < kFrames; ++i) {
        const auto sample =
            static_cast<int16_t>(8000.0 * std::sin(i * 2.0 * 3.14159265358979 * 440.0 / kRate));
        Put16(file, static_cast<uint16_t>(sample));
        Put16(file, static_cast<uint16_t>(sample));
    }
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) {
        return false;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}

void PrintMachine() {
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    std::printf("adapter: %s (%s); back buffer %ux%u, multisample type %d; %lu processors\n",
                GetAdapterDescription(), GetAdapterDriver(), var.d3dpp.BackBufferWidth,
                var.d3dpp.BackBufferHeight, var.d3dpp.MultiSampleType, info.dwNumberOfProcessors);
}

} // namespace

int main(int argc, char **argv) {
    const double mainStart = bench::Now();
    const struct {
        const char *argument;
        bench::StartupSide side;
    } children[] = {{"startup-fw", bench::StartupSide::kFramework},
                    {"startup-bare", bench::StartupSide::kBare},
                    {"startup-fw-steps", bench::StartupSide::kFrameworkSteps}};
    for (const auto &child : children) {
        if (argc > 1 && std::strcmp(argv[1], child.argument) == 0) {
            return bench::RunStartupChild(child.side, mainStart);
        }
    }
    if (argc > 3 && std::strcmp(argv[1], "soak") == 0) {
        return bench::RunSoakChild(argv[2], std::atof(argv[3]));
    }
    bool quick = false;
    const char *only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        }
    }
    auto wanted = [only](const char *part) { return !only || std::strcmp(only, part) == 0; };

    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    const std::string wave = std::string(folder) + "fw_bench.wav";
    if (!WriteWave(wave)) {
        std::fprintf(stderr, "cannot write %s\n", wave.c_str());
        return 1;
    }

    if (only && std::strcmp(only, "soak") == 0) {
        bench::BenchSoak(quick ? 60.0 : 600.0);
        return 0;
    }
    if (wanted("startup")) {
        bench::BenchStartup(kStartupRounds);
    }
    if (InitFramework("fw", 800, 600, 1) != 0) {
        std::printf("the framework did not start\n");
        return 1;
    }
    if (wanted("frame")) {
        bench::BenchFrameLoop();
    }
    if (wanted("input")) {
        bench::BenchInputFrames(quick ? 3.0 : 10.0);
    }
    if (wanted("pacing")) {
        bench::BenchPacing();
    }
    if (wanted("quads")) {
        bench::BenchQuads();
    }
    if (wanted("tasks")) {
        bench::BenchTasks();
    }
    if (wanted("crc")) {
        bench::BenchCrc32();
    }
    if (wanted("sound")) {
        bench::BenchSoundWorker(wave.c_str());
        bench::BenchVorbis();
    }
    if (wanted("stress")) {
        bench::StressSoundCycles(wave.c_str(), quick ? 20 : 1000);
        bench::StressStreamingFrames(wave.c_str(), quick ? 10.0 : 60.0);
    }
    PrintMachine();
    bench::PrintTable();
    ExitFramework();
    DeleteFileA(wave.c_str());
    return 0;
}
