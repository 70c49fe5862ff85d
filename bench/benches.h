// The benchmark program's measurements. Each adds its rows to the table
// (measure.h); those that need the framework expect it started with an
// 800x600 window and leave it started.
#pragma once

#include <windows.h>

namespace bench {

// One frame of an application that draws nothing: UpdateFramework,
// ClearAndBeginScene, EndScene, Flip.
void FrameworkFrame();
// Frames for `seconds` of wall time; returns the frames drawn.
int FrameworkFrames(double seconds);

// The bare side of the frame loop: the same window and device without the
// framework (the message pump of UpdateFramework, no input).
void BareFrame();

void BenchFrameLoop();
// Frame times over `seconds` without a controller, with one and across plugs.
void BenchInputFrames(double seconds);
// The frame-rate cap's spacing at 60 a second and a minimised program's CPU.
void BenchPacing();
void BenchQuads();
void BenchTasks();
void BenchCrc32();
// The sound worker's CPU time idle and streaming, and the process's CPU with
// and without the sound system.
void BenchSoundWorker(const char *waveFile);
// Ogg Vorbis: the worker's CPU streaming a stereo 44.1 kHz piece as Vorbis
// and as a wave file, and fw's decoding speed against oggdec's (tools/bench.sh
// makes the files and times oggdec; without them nothing is measured).
void BenchVorbis();
// `cycles` InitSound / ReleaseSound cycles with a stream playing.
void StressSoundCycles(const char *waveFile, int cycles);
// The frame loop for `seconds` with a looping stream, counting late refills.
void StressStreamingFrames(const char *waveFile, double seconds);

// Start-up and shutdown, each side a program of its own: this executable
// started again with "startup-fw", "startup-bare" or "startup-fw-steps" (the
// framework's start-up steps one at a time). Must run before this process
// starts the framework.
void BenchStartup(int rounds);
enum class StartupSide { kFramework, kBare, kFrameworkSteps };
// The child processes' side, timed from `mainStart` (Now() at the top of
// main): prints the figures and returns the exit code.
int RunStartupChild(StartupSide side, double mainStart);

// The demo and the showcase, each for `seconds` in a process of its own under
// a tour that loops, sampled every 10 s (handles, private memory, threads,
// frame time, the showcase's late refills). Must run before this process
// starts the framework.
void BenchSoak(double seconds);
// The child processes' side: "demo" or "showcase"; returns the exit code.
int RunSoakChild(const char *program, double seconds);

} // namespace bench
