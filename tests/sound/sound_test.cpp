// The sound system on the fake platform: start-up, the silent buffer, the
// worker thread and its stop, shutdown from every state, WriteSoundBuffer.
#include <fw/sound/sound.h>

#include <fw/app/window.h>
#include "fake/dsound.h"
#include "fake/fake.h"
#include "fake/mmio.h"
#include "fake/thread.h"
#include "fake/win32.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// The entries of the worker's passes, which interleave with the test's.
bool IsWorkerPass(const std::string &call) {
    return call == "EnterCriticalSection(SoundLock)" || call == "LeaveCriticalSection(SoundLock)" ||
           call.rfind("MsgWaitForMultipleObjects(", 0) == 0;
}

Calls WithoutWorkerPasses(const Calls &calls) {
    Calls result;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(result),
                 [](const std::string &call) { return !IsWorkerPass(call); });
    return result;
}

// Waits (without the recorded Sleep) until `done` holds; false after 10 s.
template <class Condition> bool WaitUntil(Condition done) {
    for (int i = 0; i < 1000; ++i) {
        if (done()) {
            return true;
        }
        SleepEx(10, FALSE);
    }
    return done();
}

std::string WindowArgument() { return fake::Hex(reinterpret_cast<ULONG_PTR>(GetWindowHandle())); }

class SoundSystem : public fake::Test {
  protected:
    void SetUp() override {
        fake::Test::SetUp();
        fake::WatchLock(&sound.SoundLock, "SoundLock");
        fake::SetSoundCaps(DSCAPS_PRIMARYSTEREO | DSCAPS_SECONDARY16BIT, 48000);
    }
    void TearDown() override {
        ReleaseSound();
        EXPECT_EQ(fake::ThreadsAlive(), 0) << "the worker outlived ReleaseSound";
        fake::Test::TearDown();
    }

    // What every shutdown must leave: nothing held, nothing running.
    static void ExpectStopped() {
        EXPECT_EQ(sound.lpDS, nullptr);
        EXPECT_EQ(sound.lpSilentBuffer, nullptr);
        EXPECT_EQ(sound.hSoundThread, nullptr);
        EXPECT_FALSE(sound.bSoundLockReady);
        EXPECT_EQ(sound.SoundCaps.dwFlags, 0u);
        EXPECT_EQ(sound.SoundCaps.dwMaxSecondarySampleRate, 0u);
        EXPECT_EQ(fake::ThreadsAlive(), 0);
        EXPECT_EQ(fake::Alive(), 0);
    }
};

TEST_F(SoundSystem, InitSoundCreatesDeviceSilentBufferLockAndWorkerInOrder) {
    ASSERT_EQ(InitSound(), S_OK);

    const Calls expected = {
        "CoInitialize(NULL)",
        "DirectSoundCreate8(NULL, NULL)",
        "IDirectSound8::SetCooperativeLevel(" + WindowArgument() + ", 1)",
        "IDirectSound8::GetCaps(96)",
        "IDirectSound8::CreateSoundBuffer(0x181e8, 576000)",
        "IDirectSoundBuffer8::QueryInterface(buffer1, IID_IDirectSoundBuffer8)",
        "IDirectSoundBuffer8::Release(buffer1)",
        "IDirectSoundBuffer8::Lock(buffer1, 0, 576000, 0x0)",
        "IDirectSoundBuffer8::Unlock(buffer1, 576000, 0)",
        "IDirectSoundBuffer8::Play(buffer1, 0, 0, 0x1)",
        "InitializeCriticalSection(SoundLock)",
        "_beginthreadex",
    };
    EXPECT_EQ(WithoutWorkerPasses(fake::Calls()), expected);
    EXPECT_NE(sound.lpDS, nullptr);
    EXPECT_NE(sound.lpSilentBuffer, nullptr);
    EXPECT_NE(sound.hSoundThread, nullptr);
    EXPECT_NE(sound.SoundThreadId, 0u);
    EXPECT_TRUE(sound.bSoundLockReady);
    EXPECT_EQ(fake::ThreadsAlive(), 1);
}

struct CapsCase {
    const char *name;
    DWORD flags;
    DWORD maxRate;
    WORD channels, bits, blockAlign;
    DWORD bytesPerSecond, bufferBytes;
};

void PrintTo(const CapsCase &c, std::ostream *out) { *out << c.name; }

class SilentBufferFormat : public SoundSystem, public ::testing::WithParamInterface<CapsCase> {};

TEST_P(SilentBufferFormat, FollowsTheDeviceCapabilities) {
    const CapsCase &c = GetParam();
    fake::SetSoundCaps(c.flags, c.maxRate);
    ASSERT_EQ(InitSound(), S_OK);

    EXPECT_EQ(GetSoundSampleRate(), c.maxRate);
    EXPECT_EQ(GetSoundChannels(), c.channels);
    EXPECT_EQ(GetSoundBits(), c.bits);

    const std::vector<fake::SoundBuffer *> buffers = fake::SoundBuffers();
    ASSERT_EQ(buffers.size(), 1u);
    const fake::SoundBuffer &buffer = *buffers[0];
    EXPECT_EQ(buffer.desc.dwSize, sizeof(DSBUFFERDESC));
    EXPECT_EQ(buffer.desc.dwFlags, 0x181E8u);
    EXPECT_EQ(buffer.desc.dwBufferBytes, c.bufferBytes);
    EXPECT_EQ(buffer.desc.dwReserved, 0u);
    EXPECT_TRUE(IsEqualGUID(buffer.desc.guid3DAlgorithm, GUID_NULL));
    EXPECT_EQ(buffer.format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(buffer.format.nChannels, c.channels);
    EXPECT_EQ(buffer.format.nSamplesPerSec, c.maxRate);
    EXPECT_EQ(buffer.format.wBitsPerSample, c.bits);
    EXPECT_EQ(buffer.format.nBlockAlign, c.blockAlign);
    EXPECT_EQ(buffer.format.nAvgBytesPerSec, c.bytesPerSecond);

    // Zero bytes whatever the sample width, over the whole buffer, looping.
    EXPECT_EQ(std::count(buffer.memory.begin(), buffer.memory.end(), 0),
              static_cast<long long>(c.bufferBytes));
    EXPECT_TRUE(buffer.playing);
    EXPECT_EQ(buffer.playFlags, static_cast<DWORD>(DSBPLAY_LOOPING));
}

INSTANTIATE_TEST_SUITE_P(
    Devices, SilentBufferFormat,
    ::testing::Values(CapsCase{"Stereo16Bit48000", 0x802, 48000, 2, 16, 4, 192000, 576000},
                      CapsCase{"Mono16BitAtMaximumRate", DSCAPS_SECONDARY16BIT, 200000, 1, 16, 2,
                               400000, 1200000},
                      CapsCase{"WineOverAlsa", 0xF5F, 200000, 2, 16, 4, 800000, 2400000},
                      CapsCase{"NoFlagsIs8BitMono", 0, 22050, 1, 8, 1, 22050, 66150},
                      CapsCase{"Stereo8Bit", DSCAPS_PRIMARYSTEREO, 44100, 2, 8, 2, 88200, 264600},
                      // Only the primary-stereo and secondary-16-bit flags count.
                      CapsCase{"SecondaryStereoPrimary16BitIgnored",
                               DSCAPS_SECONDARYSTEREO | DSCAPS_PRIMARY16BIT, 11025, 1, 8, 1, 11025,
                               33075}),
    [](const ::testing::TestParamInfo<CapsCase> &info) { return std::string(info.param.name); });

TEST_F(SoundSystem, SecondInitSoundFailsAndChangesNothing) {
    ASSERT_EQ(InitSound(), S_OK);
    const LPDIRECTSOUND8 device = sound.lpDS;
    const HANDLE worker = sound.hSoundThread;
    const Calls before = WithoutWorkerPasses(fake::Calls());

    EXPECT_EQ(InitSound(), E_FAIL);

    EXPECT_EQ(WithoutWorkerPasses(fake::Calls()), before);
    EXPECT_EQ(sound.lpDS, device);
    EXPECT_EQ(sound.hSoundThread, worker);
    EXPECT_EQ(fake::SoundBuffers().size(), 1u);
    EXPECT_EQ(fake::ThreadsAlive(), 1);
}

// A failed CoInitialize is no reason to stop, and is not balanced: the
// apartment is not fw's to end.
TEST_F(SoundSystem, CoInitializeFailureIsIgnoredAndNotBalanced) {
    fake::Fail("CoInitialize", E_OUTOFMEMORY);
    EXPECT_EQ(InitSound(), S_OK);
    EXPECT_NE(sound.lpDS, nullptr);
    ReleaseSound();
    EXPECT_EQ(fake::CountOf("CoUninitialize"), 0);
}

TEST_F(SoundSystem, ReleaseSoundBeforeInitSoundStopsNothing) {
    EXPECT_EQ(ReleaseSound(), S_OK);
    EXPECT_EQ(fake::Calls(), Calls{});
    ExpectStopped();
}

TEST_F(SoundSystem, ReleaseSoundStopsWorkerThenDeletesLockThenReleasesBufferThenDevice) {
    ASSERT_EQ(InitSound(), S_OK);
    fake::ClearCalls();

    EXPECT_EQ(ReleaseSound(), S_OK);

    const Calls expected = {
        "PostThreadMessageA(0x12)",
        "WaitForSingleObject(thread, INFINITE)",
        "CloseHandle(thread)",
        "DeleteCriticalSection(SoundLock)",
        "IDirectSoundBuffer8::Release(buffer1)",
        "IDirectSound8::Release",
        "CoUninitialize",
    };
    EXPECT_EQ(WithoutWorkerPasses(fake::Calls()), expected);
    ExpectStopped();
}

TEST_F(SoundSystem, ReleaseSoundTwiceIsHarmless) {
    ASSERT_EQ(InitSound(), S_OK);
    EXPECT_EQ(ReleaseSound(), S_OK);
    fake::ClearCalls();

    EXPECT_EQ(ReleaseSound(), S_OK);

    EXPECT_EQ(fake::Calls(), Calls{}) << "COM is uninitialised once for its one initialisation";
    ExpectStopped();
}

TEST_F(SoundSystem, QueriesGiveZeroOneEightWhileStopped) {
    EXPECT_EQ(GetSoundSampleRate(), 0u);
    EXPECT_EQ(GetSoundChannels(), 1u);
    EXPECT_EQ(GetSoundBits(), 8u);

    ASSERT_EQ(InitSound(), S_OK);
    EXPECT_EQ(GetSoundSampleRate(), 48000u);
    EXPECT_EQ(GetSoundChannels(), 2u);
    EXPECT_EQ(GetSoundBits(), 16u);
    ReleaseSound();

    EXPECT_EQ(GetSoundSampleRate(), 0u);
    EXPECT_EQ(GetSoundChannels(), 1u);
    EXPECT_EQ(GetSoundBits(), 8u);
}

// ---- Failures of InitSound --------------------------------------------------

struct FailureCase {
    const char *name;
    const char *call; // the scripted call
    HRESULT result;
    // What InitSound leaves for the caller's ReleaseSound.
    bool device, silentBuffer, lockAndWorker;
    const char *lastCall; // the last platform call InitSound makes before the lock
};

void PrintTo(const FailureCase &c, std::ostream *out) { *out << c.name; }

class InitSoundFailure : public SoundSystem, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InitSoundFailure, ReturnsTheCodeAndReleaseSoundUndoesTheRest) {
    const FailureCase &c = GetParam();
    fake::Fail(c.call, c.result);

    EXPECT_EQ(InitSound(), c.result);

    EXPECT_EQ(sound.lpDS != nullptr, c.device);
    EXPECT_EQ(sound.lpSilentBuffer != nullptr, c.silentBuffer);
    EXPECT_EQ(sound.bSoundLockReady != FALSE, c.lockAndWorker);
    EXPECT_EQ(sound.hSoundThread != nullptr, c.lockAndWorker);
    EXPECT_EQ(fake::ThreadsAlive(), c.lockAndWorker ? 1 : 0);
    // The first interface of a buffer is always released; only the silent
    // buffer itself may be left.
    EXPECT_EQ(fake::SoundBuffers().size(), c.silentBuffer ? 1u : 0u);
    const Calls calls = WithoutWorkerPasses(fake::Calls());
    const auto last = std::find(calls.begin(), calls.end(), c.lastCall);
    EXPECT_NE(last, calls.end()) << c.lastCall;

    fake::ClearCalls();
    EXPECT_EQ(ReleaseSound(), S_OK);

    ExpectStopped();
    EXPECT_EQ(fake::CountOf("WaitForSingleObject(thread, INFINITE)"), c.lockAndWorker ? 1 : 0);
    EXPECT_EQ(fake::CountOf("DeleteCriticalSection(SoundLock)"), c.lockAndWorker ? 1 : 0);
    EXPECT_EQ(fake::CountOf("IDirectSound8::Release"), c.device ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, InitSoundFailure,
    ::testing::Values(FailureCase{"DirectSoundCreate8", "DirectSoundCreate8", DSERR_NODRIVER, false,
                                  false, false, "DirectSoundCreate8(NULL, NULL)"},
                      // InitSound calls ReleaseSound itself here.
                      FailureCase{"SetCooperativeLevel", "IDirectSound8::SetCooperativeLevel",
                                  DSERR_INVALIDPARAM, false, false, false, "CoUninitialize"},
                      FailureCase{"GetCaps", "IDirectSound8::GetCaps", DSERR_GENERIC, true, false,
                                  true, "IDirectSound8::GetCaps(96)"},
                      FailureCase{"CreateSoundBuffer", "IDirectSound8::CreateSoundBuffer",
                                  DSERR_OUTOFMEMORY, true, false, true,
                                  "IDirectSound8::CreateSoundBuffer(0x181e8, 576000)"},
                      FailureCase{"QueryInterface", "IDirectSoundBuffer8::QueryInterface",
                                  E_NOINTERFACE, true, false, true,
                                  "IDirectSoundBuffer8::Release(buffer1)"},
                      FailureCase{"Play", "IDirectSoundBuffer8::Play", DSERR_BUFFERLOST, true, true,
                                  true, "IDirectSoundBuffer8::Play(buffer1, 0, 0, 0x1)"}),
    [](const ::testing::TestParamInfo<FailureCase> &info) { return std::string(info.param.name); });

TEST_F(SoundSystem, SetCooperativeLevelFailureReleasesEverythingAtOnce) {
    fake::Fail("IDirectSound8::SetCooperativeLevel", DSERR_INVALIDPARAM);

    EXPECT_EQ(InitSound(), DSERR_INVALIDPARAM);

    const Calls expected = {
        "CoInitialize(NULL)",
        "DirectSoundCreate8(NULL, NULL)",
        "IDirectSound8::SetCooperativeLevel(" + WindowArgument() + ", 1)",
        "IDirectSound8::Release",
        "CoUninitialize",
    };
    EXPECT_EQ(fake::Calls(), expected);
    ExpectStopped();
}

TEST_F(SoundSystem, UnusableMaximumRateFailsWithTheBufferCreationCode) {
    fake::SetSoundCaps(DSCAPS_PRIMARYSTEREO | DSCAPS_SECONDARY16BIT, 0);

    EXPECT_EQ(InitSound(), DSERR_INVALIDPARAM);

    EXPECT_EQ(sound.lpSilentBuffer, nullptr);
    EXPECT_EQ(fake::ThreadsAlive(), 1);
    EXPECT_EQ(ReleaseSound(), S_OK);
    ExpectStopped();
}

// Without its worker the sound system could never refill a stream, so a
// worker that cannot start fails the start-up.
TEST_F(SoundSystem, WorkerThatCannotStartFailsInitSoundAndLeavesTheLock) {
    fake::Fail("_beginthreadex", E_FAIL);

    EXPECT_EQ(InitSound(), E_FAIL);

    EXPECT_EQ(sound.hSoundThread, nullptr);
    EXPECT_TRUE(sound.bSoundLockReady);
    EXPECT_NE(sound.lpSilentBuffer, nullptr);
    fake::ClearCalls();

    EXPECT_EQ(ReleaseSound(), S_OK);

    EXPECT_EQ(fake::CountOf("PostThreadMessageA"), 0);
    EXPECT_EQ(fake::CountOf("DeleteCriticalSection(SoundLock)"), 1);
    ExpectStopped();
}

TEST_F(SoundSystem, BufferFailureWinsOverWorkerFailure) {
    fake::Fail("IDirectSound8::GetCaps", DSERR_GENERIC);
    fake::Fail("_beginthreadex", E_FAIL);
    EXPECT_EQ(InitSound(), DSERR_GENERIC);
}

// ---- The worker -------------------------------------------------------------

TEST_F(SoundSystem, WorkerQueueExistsWhenInitSoundReturns) {
    ASSERT_EQ(InitSound(), S_OK);
    // A thread without a message queue refuses posted messages.
    EXPECT_TRUE(PostThreadMessageA(sound.SoundThreadId, WM_USER, 0, 0))
        << "error " << GetLastError();
}

TEST_F(SoundSystem, StopRequestSentRightAfterStartEndsTheWorker) {
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(InitSound(), S_OK);
        ASSERT_EQ(ReleaseSound(), S_OK);
        ASSERT_EQ(fake::ThreadsAlive(), 0) << "round " << i;
    }
    EXPECT_EQ(fake::CountOf("_beginthreadex"), 5);
    EXPECT_EQ(fake::CountOf("CloseHandle(thread)"), 5);
}

// A pass holds the lock, then waits half a second for a message (the
// rest of that wait, should the clock's ticks leave some).
TEST_F(SoundSystem, WorkerPassesHoldTheLockThenWaitHalfASecond) {
    ASSERT_EQ(InitSound(), S_OK);
    ASSERT_TRUE(WaitUntil([] { return fake::CountOf("MsgWaitForMultipleObjects(500)") >= 2; }));
    ReleaseSound();

    Calls passes;
    for (const std::string &call : fake::Calls()) {
        if (IsWorkerPass(call) && (passes.empty() || call.rfind("MsgWait", 0) != 0 ||
                                   passes.back().rfind("MsgWait", 0) != 0)) {
            passes.push_back(call);
        }
    }
    ASSERT_GE(passes.size(), 6u);
    for (size_t i = 0; i + 3 <= passes.size(); i += 3) {
        EXPECT_EQ(passes[i], "EnterCriticalSection(SoundLock)") << i;
        EXPECT_EQ(passes[i + 1], "LeaveCriticalSection(SoundLock)") << i;
        if (i + 2 < passes.size()) {
            EXPECT_EQ(passes[i + 2], "MsgWaitForMultipleObjects(500)") << i;
        }
    }
}

TEST_F(SoundSystem, WorkerDiscardsOtherMessagesWithoutDispatching) {
    ASSERT_EQ(InitSound(), S_OK);
    ASSERT_TRUE(PostThreadMessageA(sound.SoundThreadId, WM_USER, 0, 0));
    ASSERT_TRUE(PostThreadMessageA(sound.SoundThreadId, WM_TIMER, 0, 0));
    const int passes = fake::CountOf("EnterCriticalSection(SoundLock)");
    ASSERT_TRUE(
        WaitUntil([&] { return fake::CountOf("EnterCriticalSection(SoundLock)") >= passes + 2; }));

    EXPECT_EQ(fake::ThreadsAlive(), 1);
    EXPECT_EQ(fake::CountOf("DispatchMessageA"), 0);
    EXPECT_EQ(fake::CountOf("TranslateMessage"), 0);
}

// The pass on this thread, whose queue is the fake's: the messages before
// WM_QUIT go unseen by any window, WM_QUIT ends the worker with 0 before its
// sleep, and what follows stays queued.
TEST_F(SoundSystem, WorkerEndsAtQuitWithCodeZero) {
    InitializeCriticalSection(&sound.SoundLock);
    fake::QueueMessage(WM_USER);
    fake::QueueMessage(WM_QUIT);
    fake::QueueMessage(WM_USER + 1);
    fake::ClearCalls();

    EXPECT_EQ(SoundThreadProc(nullptr), 0u);

    const Calls expected = {
        "PeekMessageA", // creates the queue
        "EnterCriticalSection(SoundLock)",
        "LeaveCriticalSection(SoundLock)",
        "PeekMessageA",
        "PeekMessageA",
    };
    EXPECT_EQ(fake::Calls(), expected);
    EXPECT_EQ(fake::QueuedMessages(), 1);
    DeleteCriticalSection(&sound.SoundLock);
}

// ---- WriteSoundBuffer -------------------------------------------------------

class WriteSoundBufferTest : public fake::Test {
  protected:
    void SetUp() override {
        fake::Test::SetUp();
        ASSERT_EQ(DirectSoundCreate8(nullptr, &device_, nullptr), DS_OK);
        WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
        DSBUFFERDESC desc = {sizeof desc, 0, 1000, 0, &format, GUID_NULL};
        LPDIRECTSOUNDBUFFER first = nullptr;
        ASSERT_EQ(device_->CreateSoundBuffer(&desc, &first, nullptr), DS_OK);
        first->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void **>(&buffer_));
        first->Release();
        fake_ = fake::SoundBuffers().at(0);
        fake::ClearCalls();
    }
    void TearDown() override {
        buffer_->Release();
        device_->Release();
        fake::Test::TearDown();
    }

    LPDIRECTSOUND8 device_ = nullptr;
    LPDIRECTSOUNDBUFFER8 buffer_ = nullptr;
    fake::SoundBuffer *fake_ = nullptr;
};

TEST_F(WriteSoundBufferTest, NullBufferOrSourceGivesSFalseAndZeroCount) {
    const BYTE source[4] = {1, 2, 3, 4};
    DWORD count = 77;
    EXPECT_EQ(WriteSoundBuffer(nullptr, source, TRUE, 0, 4, &count), S_FALSE);
    EXPECT_EQ(count, 0u);
    count = 77;
    EXPECT_EQ(WriteSoundBuffer(buffer_, nullptr, FALSE, 0, 4, &count), S_FALSE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(WriteSoundBuffer(buffer_, nullptr, TRUE, 0, 4, nullptr), S_FALSE);
    EXPECT_EQ(fake::CountOf("IDirectSoundBuffer8::Lock"), 0);
}

TEST_F(WriteSoundBufferTest, CopiesAcrossTheWrapIntoBothRegions) {
    std::vector<BYTE> source(200);
    for (size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<BYTE>(i + 1);
    }
    DWORD count = 0;

    EXPECT_EQ(WriteSoundBuffer(buffer_, source.data(), TRUE, 900, 200, &count), DS_OK);

    EXPECT_EQ(count, 200u);
    EXPECT_EQ(fake::Calls(), (Calls{"IDirectSoundBuffer8::Lock(buffer1, 900, 200, 0x0)",
                                    "IDirectSoundBuffer8::Unlock(buffer1, 100, 100)"}));
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + 100, fake_->memory.begin() + 900));
    EXPECT_TRUE(std::equal(source.begin() + 100, source.end(), fake_->memory.begin()));
    EXPECT_EQ(fake_->memory[100], 0xCD) << "written past the range";
    EXPECT_EQ(fake_->memory[899], 0xCD) << "written before the range";
}

TEST_F(WriteSoundBufferTest, CopiesIntoScriptedRegionsInOrder) {
    const BYTE source[6] = {1, 2, 3, 4, 5, 6};
    fake_->ScriptLock({10, 4, 500, 2});
    DWORD count = 0;

    EXPECT_EQ(WriteSoundBuffer(buffer_, source, TRUE, 0, 6, &count), DS_OK);

    EXPECT_EQ(count, 6u);
    EXPECT_EQ(std::vector<BYTE>(fake_->memory.begin() + 10, fake_->memory.begin() + 14),
              (std::vector<BYTE>{1, 2, 3, 4}));
    EXPECT_EQ(std::vector<BYTE>(fake_->memory.begin() + 500, fake_->memory.begin() + 502),
              (std::vector<BYTE>{5, 6}));
}

TEST_F(WriteSoundBufferTest, ZeroFillReadsNoSource) {
    // A source that faults when read.
    void *page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(page, nullptr);
    DWORD count = 0;

    EXPECT_EQ(WriteSoundBuffer(buffer_, page, FALSE, 950, 100, &count), DS_OK);

    EXPECT_EQ(count, 100u);
    EXPECT_TRUE(std::all_of(fake_->memory.begin() + 950, fake_->memory.end(),
                            [](BYTE b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(fake_->memory.begin(), fake_->memory.begin() + 50,
                            [](BYTE b) { return b == 0; }));
    EXPECT_EQ(fake_->memory[50], 0xCD);
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST_F(WriteSoundBufferTest, LockFailureGivesItsCodeAndZeroCount) {
    const BYTE source[4] = {};
    fake::Fail("IDirectSoundBuffer8::Lock", DSERR_BUFFERLOST);
    DWORD count = 77;

    EXPECT_EQ(WriteSoundBuffer(buffer_, source, TRUE, 0, 4, &count), DSERR_BUFFERLOST);

    EXPECT_EQ(count, 0u);
    EXPECT_EQ(fake::CountOf("IDirectSoundBuffer8::Unlock"), 0);
}

TEST_F(WriteSoundBufferTest, ReturnsTheUnlockResultWithTheCount) {
    const BYTE source[4] = {};
    fake::Fail("IDirectSoundBuffer8::Unlock", DSERR_INVALIDCALL);
    DWORD count = 0;

    EXPECT_EQ(WriteSoundBuffer(buffer_, source, TRUE, 0, 4, &count), DSERR_INVALIDCALL);

    EXPECT_EQ(count, 4u);
}

// ---- CreateSilentBuffer -----------------------------------------------------

TEST_F(SoundSystem, CreateSilentBufferRefusesASecondBuffer) {
    ASSERT_EQ(InitSound(), S_OK);
    fake::ClearCalls();

    EXPECT_EQ(CreateSilentBuffer(16, 2, 48000), E_FAIL);

    EXPECT_EQ(fake::CountOf("IDirectSound8::CreateSoundBuffer"), 0);
}

TEST_F(SoundSystem, CreateSilentBufferNeedsTheDevice) {
    EXPECT_EQ(CreateSilentBuffer(16, 2, 48000), E_FAIL);
    EXPECT_EQ(fake::CountOf("IDirectSound8::CreateSoundBuffer"), 0);
}

} // namespace
