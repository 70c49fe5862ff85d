// The task tree at its full pool each frame, and CRC-32 against zlib's.
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

constexpr int kTaskRounds = 15;
constexpr int kTaskFramesPerRound = 200;
constexpr double kTaskGoalRatio = 1.25;
constexpr int kCrcRounds = 5;
constexpr size_t kCrcBytes = 64u << 20;

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
    const uint32_t ours = Crc32(data.data(), length);
    const auto theirs = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(length)));
    if (ours != theirs) {
        Progress("CRC-32: results differ, 0x%08x against zlib's 0x%08x", ours, theirs);
    }
    volatile uint32_t sink = 0;
    const Times times = Alternate(kCrcRounds, {[&] {
                                                   const double start = Now();
                                                   sink = Crc32(data.data(), length);
                                                   return Now() - start;
                                               },
                                               [&] {
                                                   const double start = Now();
                                                   sink = static_cast<uint32_t>(crc32(
                                                       0, data.data(), static_cast<uInt>(length)));
                                                   return Now() - start;
                                               }});
    const std::vector<double> ratios = Ratios(times, 0, 1);
    const double mib = static_cast<double>(kCrcBytes) / (1 << 20);
    AddRow({Format("CRC-32 of 64 MiB: Crc32 vs zlib crc32%s", ours == theirs ? "" : " (DIFFER)"),
            Format("%.0f MiB/s", mib / Median(times[0])),
            Format("%.0f MiB/s", mib / Median(times[1])), Min(ratios), Median(ratios), "", -1});
}

} // namespace bench
