// The sound fuzzer: mutated wave and Ogg Vorbis files opened static and
// streaming, played and refilled on the real DirectSound, all in this one
// process. Usage: sound_fuzz.exe CASES SEED FIRST SEED_FILE... (FIRST: the
// case to start at, after a crash). Before each case its number goes to
// fuzz_case.txt in the working folder, so that tools/fuzz.sh can name a case
// that crashed the process and go on after it. Prints one line of figures:
// cases, refusals, slow operations (over one second), and the growth of
// handles and memory from the first hundred cases to the end. Exits 1 when
// an operation was slow or handles or memory grew, else 0.
#include <fw/sound/sound.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr DWORD kSlowMs = 1000;
constexpr unsigned kChannel = 9;
// Handle and memory figures are taken after this many cases, once the
// process's own allocations have settled.
constexpr unsigned kWarmUp = 100;
// Growth allowed at the end: a few handles of the platform's own, and
// memory within the heap's fragmentation.
constexpr DWORD kHandleSlack = 16;
constexpr SIZE_T kMemorySlack = 8u << 20;

Bytes ReadAll(const char *path) {
    Bytes bytes;
    if (FILE *file = std::fopen(path, "rb")) {
        int c;
        while ((c = std::fgetc(file)) != EOF) {
            bytes.push_back(static_cast<unsigned char>(c));
        }
        std::fclose(file);
    }
    return bytes;
}

void Put32(Bytes &bytes, size_t at, unsigned value) {
    for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i) {
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// Offsets of the fields where a mutation changes what the reader decides:
// chunk headers of a wave file, page headers of an Ogg file.
std::vector<size_t> Fields(const Bytes &bytes) {
    std::vector<size_t> fields;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (bytes[i] == 'O' && bytes[i + 1] == 'g' && bytes[i + 2] == 'g' && bytes[i + 3] == 'S') {
            for (size_t field : {4, 5, 6, 10, 14, 18, 22, 26, 27}) {
                fields.push_back(i + field); // version, type, granule, serial, ...
            }
        }
    }
    if (bytes.size() > 12 && bytes[0] == 'R') {
        for (size_t at = 12; at + 8 <= bytes.size();) {
            fields.push_back(at + 4);
            fields.push_back(at + 8);
            const size_t size = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 |
                                static_cast<size_t>(bytes[at + 7]) << 24;
            at += 8 + ((size + 1) & ~size_t(1));
        }
        fields.push_back(4);
    }
    return fields;
}

Bytes Mutate(Bytes bytes, std::mt19937 &random) {
    const unsigned extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 0x10000};
    const std::vector<size_t> fields = Fields(bytes);
    const int steps = 1 + random() % 4;
    for (int step = 0; step < steps && !bytes.empty(); ++step) {
        switch (random() % 5) {
        case 0: // bit flips
            for (int i = 0, n = 1 + random() % 8; i < n; ++i) {
                bytes[random() % bytes.size()] ^= static_cast<unsigned char>(1u << (random() % 8));
            }
            break;
        case 1: // cut off
            bytes.resize(random() % bytes.size());
            break;
        case 2: // a header field to an extreme
            if (!fields.empty()) {
                Put32(bytes, fields[random() % fields.size()],
                      extremes[random() % (sizeof extremes / sizeof extremes[0])]);
            }
            break;
        case 3: // a run of random bytes
            for (size_t at = random() % bytes.size(), n = 1 + random() % 64;
                 n > 0 && at < bytes.size(); --n, ++at) {
                bytes[at] = static_cast<unsigned char>(random());
            }
            break;
        default: // a byte in a header field
            if (!fields.empty()) {
                const size_t at = fields[random() % fields.size()] + random() % 4;
                if (at < bytes.size()) {
                    bytes[at] = static_cast<unsigned char>(random());
                }
            }
            break;
        }
    }
    return bytes;
}

DWORD Handles() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

SIZE_T Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

unsigned slow = 0;

// Runs `operation`, counting it as slow past kSlowMs; its result.
template <class Operation> HRESULT Timed(unsigned number, const char *what, Operation operation) {
    const DWORD start = GetTickCount();
    const HRESULT hr = operation();
    const DWORD took = GetTickCount() - start;
    if (took > kSlowMs) {
        ++slow;
        std::printf("case %u: %s took %lu ms\n", number, what, took);
    }
    return hr;
}

// A stream refilled as the worker would as the cursor crosses the middle
// and the end, three times.
void Refill(SoundChannel &channel) {
    for (int i = 0; i < 3; ++i) {
        EnterCriticalSection(&sound.SoundLock);
        channel.lpBuffer->SetCurrentPosition(channel.RefillPhase == 0 ? channel.HalfBytes + 4 : 0);
        channel.Update();
        LeaveCriticalSection(&sound.SoundLock);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: sound_fuzz CASES SEED FIRST SEED_FILE...\n");
        return 2;
    }
    const unsigned cases = static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10));
    const unsigned seed = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    const unsigned first = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    std::vector<Bytes> seeds;
    for (int i = 4; i < argc; ++i) {
        seeds.push_back(ReadAll(argv[i]));
        if (seeds.back().empty()) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
    }
    if (InitSound() != S_OK) {
        std::fprintf(stderr, "no DirectSound device\n");
        return 2;
    }
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path =
        std::string(temp) + "fw_fuzz_" + std::to_string(GetCurrentProcessId()) + ".bin";

    unsigned refused = 0;
    DWORD handles = 0;
    SIZE_T memory = 0;
    for (unsigned number = first; number < cases; ++number) {
        if (FILE *mark = std::fopen("fuzz_case.txt", "w")) {
            std::fprintf(mark, "%u\n", number);
            std::fclose(mark);
        }
        // Each case has a generator of its own, so a case is the same
        // whatever case the run started at.
        std::mt19937 random(seed * 1000003u + number);
        const Bytes bytes = Mutate(seeds[random() % seeds.size()], random);
        if (FILE *out = std::fopen(path.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fclose(out);
        }
        if (Timed(number, "static open",
                  [&] { return LoadSoundChannel(kChannel, path.c_str()); }) == S_OK) {
            Timed(number, "play", [] { return PlaySoundChannel(kChannel); });
        } else {
            ++refused;
        }
        CloseSoundChannel(kChannel);
        if (Timed(number, "stream open",
                  [&] { return StreamSoundChannel(kChannel, path.c_str()); }) == S_OK) {
            SetSoundChannelLoop(kChannel, number % 2);
            Timed(number, "play", [] { return PlaySoundChannel(kChannel); });
            Timed(number, "refills", [] {
                Refill(SoundChannels[kChannel]);
                return S_OK;
            });
        } else {
            ++refused;
        }
        CloseSoundChannel(kChannel);
        if (number == first + kWarmUp) {
            handles = Handles();
            memory = Memory();
        }
    }
    DeleteFileA(path.c_str());
    const bool measured = cases > first + kWarmUp;
    const long handleGrowth =
        measured ? static_cast<long>(Handles()) - static_cast<long>(handles) : 0;
    const long long memoryGrowth =
        measured ? static_cast<long long>(Memory()) - static_cast<long long>(memory) : 0;
    ReleaseSound();
    std::printf("cases %u, opens refused %u of %u, slow %u, handle growth %ld, memory growth %lld "
                "KB\n",
                cases - first, refused, 2 * (cases - first), slow, handleGrowth,
                memoryGrowth / 1024);
    const bool grew = handleGrowth > static_cast<long>(kHandleSlack) ||
                      memoryGrowth > static_cast<long long>(kMemorySlack);
    return slow > 0 || grew ? 1 : 0;
}
