// The task tree at its full pool each frame, and CRC-32 against zlib's and
// against the byte-a-step loop it used to be.
#include "benches.h"
#include "measure.h"

#include <fw/util/crc32.h>
#include <fw/util/task.h>

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace bench {

namespace {

constexpr int kTaskRounds = 101;
constexpr int kTaskFramesPerRound = 10;
constexpr double kTaskGoalRatio = 1.25;
constexpr int kCrcRounds = 5;
constexpr size_t kCrcBytes = 64u << 20;
// Five times the speed of the byte-a-step loop that Crc32 used to be.
constexpr double kCrcGoalRatio = 0.2;

volatile uint32_t drawn; // keeps the draw callbacks' work alive

void UpdateOnce(Task *task) {
    ++task->user;
    KillTask(task);
}

void DrawOne(Task *task) { drawn = drawn + task->user; }

// One frame of the tree: the whole pool created, updated (each task ends
// itself), drawn and reaped.
void TaskFrame() {
    for (int i = 0; i < TASK_MAX; ++i) {
        CreateTask(UpdateOnce, DrawOne);
    }
    RunTasks();
    DrawTasks();
    ReapTasks();
}

// The same work on a plain array: what an application would write without
// the tree.
alignas(64) Task plain[TASK_MAX];

void PlainFrame() {
    int count = 0;
    for (int i = 0; i < TASK_MAX; ++i) {
        Task &task = plain[count++];
        task.flags = 0;
        task.count = 0;
        task.update = UpdateOnce;
        task.draw = DrawOne;
    }
    for (int i = 0; i < count; ++i) {
        plain[i].update(&plain[i]);
        ++plain[i].count;
    }
    for (int i = 0; i < count; ++i) {
        plain[i].draw(&plain[i]);
    }
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (!(plain[i].flags & TASK_DEAD)) {
            plain[kept++] = plain[i];
        }
    }
}

// The loop Crc32 used to be, one table lookup a byte, on Crc32's own table.
uint32_t Crc32ByteAtATime(const uint8_t *bytes, int32_t length) {
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t i = 0; i < length; ++i) {
        crc = (crc >> 8) ^ crc32Table[(crc ^ bytes[i]) & 0xFFu];
    }
    return crc ^ 0xFFFFFFFFu;
}

double TimeTaskFrames(void (*frame)()) {
    const double start = Now();
    for (int i = 0; i < kTaskFramesPerRound; ++i) {
        frame();
    }
    return (Now() - start) / kTaskFramesPerRound;
}

} // namespace

void BenchTasks() {
    Progress("tasks: %d per frame, %d rounds of %d frames", TASK_MAX, kTaskRounds,
             kTaskFramesPerRound);
    InitTasks();
    TaskFrame();
    PlainFrame();
    const Times times = Alternate(kTaskRounds, {[] { return TimeTaskFrames(TaskFrame); },
                                                [] { return TimeTaskFrames(PlainFrame); }});
    AddRatioRow(Format("tasks: %d per frame vs plain array", TASK_MAX), times, 0, 1, 1e6, "us",
                kTaskGoalRatio);
    AddRow({"tasks: per task (created, run, drawn, reaped)",
            Format("%.2f ns", Median(times[0]) / TASK_MAX * 1e9),
            Format("%.2f ns", Median(times[1]) / TASK_MAX * 1e9), -1.0, -1.0, "", -1});
}

void BenchCrc32() {
    Progress("CRC-32: %d MiB, %d rounds", static_cast<int>(kCrcBytes >> 20), kCrcRounds);
    std::vector<uint8_t> data(kCrcBytes);
    uint32_t state = 0x12345678u;
    for (uint8_t &byte : data) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<uint8_t>(state);
    }
    const auto length = static_cast<int32_t>(data.size());
    const uint32_t ours = Crc32(data.data(), length); // builds crc32Table
    const auto theirs = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(length)));
    const uint32_t bytewise = Crc32ByteAtATime(data.data(), length);
    if (ours != theirs || bytewise != theirs) {
        Progress("CRC-32: results differ, 0x%08x and 0x%08x byte at a time against zlib's 0x%08x",
                 ours, bytewise, theirs);
    }
    volatile uint32_t sink = 0;
    auto timed = [&](uint32_t (*crc)(const uint8_t *, int32_t)) {
        return [&sink, &data, length, crc] {
            const double start = Now();
            sink = crc(data.data(), length);
            return Now() - start;
        };
    };
    const Times times = Alternate(
        kCrcRounds, {timed([](const uint8_t *bytes, int32_t size) { return Crc32(bytes, size); }),
                     timed([](const uint8_t *bytes, int32_t size) {
                         return static_cast<uint32_t>(crc32(0, bytes, static_cast<uInt>(size)));
                     }),
                     timed(Crc32ByteAtATime)});
    const double mib = static_cast<double>(kCrcBytes) / (1 << 20);
    auto row = [&](const std::string &name, int peer, double goal) {
        const std::vector<double> ratios = Ratios(times, 0, peer);
        AddRow({name, Format("%.0f MiB/s", mib / Median(times[0])),
                Format("%.0f MiB/s", mib / Median(times[peer])), Min(ratios), Median(ratios),
                goal > 0.0 ? Format("<= %.2f", goal) : "",
                goal > 0.0 ? (Median(ratios) <= goal ? 1 : 0) : -1});
    };
    const char *differ = ours == theirs ? "" : " (DIFFER)";
    row(Format("CRC-32 of 64 MiB: Crc32 vs zlib crc32%s", differ), 1, 0.0);
    row(Format("CRC-32 of 64 MiB: Crc32 vs a byte a step%s", differ), 2, kCrcGoalRatio);
}

} // namespace bench
