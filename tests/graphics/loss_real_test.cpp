// A real device loss on Wine's Direct3D 9: the framework full-screen, with
// every kind of resource loaded and in use, and default-pool objects of the
// program's own kept through the device notifications, loses its device when
// another window takes the foreground and gets it back when its own window is
// restored. Full-screen needs a back buffer of the screen's size: the
// program takes whatever size the display has. The same program also changes
// its display mode at run time.
#include <fw/app/framework.h>
#include <fw/app/window.h>
#include <fw/graphics/graphics.h>
#include <fw/graphics/quad.h>
#include <fw/graphics/renderstate.h>
#include <fw/graphics/target.h>
#include "../../bench/process.h"
#include "real/boxes.h"
#include "real/device.h"
#include "real/display.h"
#include "real/pixels.h"
#include <fw/resources/font.h>
#include <fw/resources/mesh.h>
#include <fw/resources/texture.h>
#include <fw/shader/shader.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr char kVertexShader[] = "vs_1_1\ndcl_position v0\nmov oPos, v0\n";
constexpr char kPixelShader[] = "ps_1_1\ndef c0, 1.0, 0.0, 1.0, 1.0\nmov r0, c0\n";

// ---- The timeline -------------------------------------------------------------

// Milliseconds on the performance counter (Wine's GetTickCount moves in
// steps of about 16 ms).
DWORD Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<DWORD>(count.QuadPart * 1000 / frequency.QuadPart);
}

// Present, TestCooperativeLevel and Reset of the device are wrapped, in a
// copy of its method table, so that the test can say when each of them
// changed its answer.
struct Answer {
    DWORD ms;
    const char *call;
    HRESULT hr;
};
std::vector<Answer> timeline;
DWORD timelineStart;
int resets, failedResets;

enum { kTestCooperativeLevel = 3, kReset = 16, kPresent = 17, kMethods = 134 };
void **deviceMethods;           // the device's own table
void *wrappedMethods[kMethods]; // IDirect3DDevice9Ex has 134 methods

// Every call when `always`, else only a changed answer.
HRESULT Note(const char *call, HRESULT hr, bool always = false) {
    const auto last = std::find_if(timeline.rbegin(), timeline.rend(), [&](const Answer &answer) {
        return std::strcmp(answer.call, call) == 0;
    });
    if (always || last == timeline.rend() || last->hr != hr) {
        timeline.push_back({Now() - timelineStart, call, hr});
    }
    return hr;
}

template <int index, class... Args>
HRESULT STDMETHODCALLTYPE Wrapped(IDirect3DDevice9 *device, Args... args) {
    using Method = HRESULT(STDMETHODCALLTYPE *)(IDirect3DDevice9 *, Args...);
    const HRESULT hr = reinterpret_cast<Method>(deviceMethods[index])(device, args...);
    if (index == kReset) {
        ++resets;
        failedResets += FAILED(hr) ? 1 : 0;
    }
    return Note(index == kReset     ? "Reset"
                : index == kPresent ? "Present"
                                    : "TestCooperativeLevel",
                hr, index == kReset);
}

void WrapDevice(IDirect3DDevice9 *device) {
    void **&table = *reinterpret_cast<void ***>(device);
    deviceMethods = table;
    std::copy(table, table + kMethods, wrappedMethods);
    wrappedMethods[kTestCooperativeLevel] = reinterpret_cast<void *>(&Wrapped<3>);
    wrappedMethods[kReset] = reinterpret_cast<void *>(&Wrapped<16, D3DPRESENT_PARAMETERS *>);
    wrappedMethods[kPresent] =
        reinterpret_cast<void *>(&Wrapped<17, const RECT *, const RECT *, HWND, const RGNDATA *>);
    table = wrappedMethods;
}

// The device gets its own table back before its last Release: a device
// written in C++ (DXVK's) is destroyed through entries past the copied ones.
// Nothing to do when SetUp stopped before the wrapping.
void UnwrapDevice(IDirect3DDevice9 *device) {
    if (device != nullptr && deviceMethods != nullptr) {
        *reinterpret_cast<void ***>(device) = deviceMethods;
    }
    deviceMethods = nullptr;
}

void PrintTimeline() {
    for (const Answer &answer : timeline) {
        std::printf("%6lu ms  %-22s 0x%08lx\n", answer.ms, answer.call,
                    static_cast<unsigned long>(answer.hr));
    }
}

// ---- What the process holds ------------------------------------------------------

// PrivateUsage, or where that is 0 (Wine 8) PagefileUsage, which Wine fills
// with the process's private memory in use.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory),
                         sizeof memory);
    return memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
}

// ---- Another window -------------------------------------------------------------

// A window of this process on a thread of its own takes the foreground from
// the framework's window, and gives it back by restoring that window, as
// another program would.
class Intruder {
  public:
    explicit Intruder(HWND target) : target_(target) {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
        while (!ready_) {
            Sleep(1);
        }
    }
    ~Intruder() {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    void Take() { Post(kTake, "foreground taken"); }
    void GiveBack() { Post(kGiveBack, "window restored"); }

  private:
    static constexpr UINT kTake = WM_APP, kGiveBack = WM_APP + 1;

    void Post(UINT command, const char *what) {
        PostThreadMessageA(threadId_, command, 0, 0);
        Note(what, S_OK, true);
    }

    static DWORD WINAPI Run(void *self) {
        auto *intruder = static_cast<Intruder *>(self);
        HWND own = CreateWindowExA(0, "STATIC", "intruder", WS_POPUP, 0, 0, 64, 64, nullptr,
                                   nullptr, nullptr, nullptr);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue exists from here on
        intruder->ready_ = true;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == kTake) {
                ShowWindow(own, SW_SHOW);
                SetForegroundWindow(own);
            } else if (msg.message == kGiveBack) {
                ShowWindow(intruder->target_, SW_RESTORE);
                SetForegroundWindow(intruder->target_);
            }
            DispatchMessageA(&msg);
        }
        DestroyWindow(own);
        return 0;
    }

    HWND target_;
    HANDLE thread_;
    DWORD threadId_ = 0;
    volatile bool ready_ = false;
};

// ---- Drawing -----------------------------------------------------------------------

// A square of clip space, (x, y) its centre and h its half side.
void DrawSquare(float x, float y, float h) {
    const D3DXVECTOR3 square[] = {
        {x - h, y + h, 0.5f}, {x + h, y + h, 0.5f}, {x - h, y - h, 0.5f}, {x + h, y - h, 0.5f}};
    GetDevice()->SetFVF(D3DFVF_XYZ);
    GetDevice()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, square, sizeof square[0]);
}

D3DXMATRIX Placed(float scale, float x, float y) {
    D3DXMATRIX scaling, moving;
    D3DXMatrixScaling(&scaling, scale, scale, scale);
    D3DXMatrixTranslation(&moving, x, y, 0.5f);
    return scaling * moving;
}

// A square of `scale` at (x, y) through the effect's technique "test_effect",
// in `colour` given to its parameter `colourParameter`.
void DrawEffectSquare(ID3DXEffect *effect, D3DXHANDLE colourParameter, const float colour[4],
                      float scale, float x, float y) {
    const D3DXMATRIX square = Placed(scale, x, y);
    UINT passes = 0;
    effect->SetTechnique("test_effect");
    effect->SetMatrix("mWorldViewProj", &square);
    effect->SetValue(colourParameter, colour, 4 * sizeof(float));
    if (effect->Begin(&passes, 0) == S_OK && effect->BeginPass(0) == S_OK) {
        DrawSquare(0.0f, 0.0f, 1.0f);
        effect->EndPass();
    }
    effect->End();
}

// ---- The program's own default-pool objects -----------------------------------

// The preset word in force when the device goes; fog among its states.
constexpr DWORD kPresetWord =
    RSF_BLEND | RSF_MODULATE | RSF_LINEAR | RSF_ZBUFFER | RSF_FOG | RSF_CULL | RSF_LIGHTING;

// The device states a preset word sets, read back from the device.
std::vector<DWORD> PresetStates() {
    IDirect3DDevice9 *device = GetDevice();
    std::vector<DWORD> values;
    for (D3DRENDERSTATETYPE state :
         {D3DRS_FOGENABLE, D3DRS_CULLMODE, D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_LIGHTING,
          D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND}) {
        values.push_back(0xDEADBEEF);
        device->GetRenderState(state, &values.back());
    }
    for (D3DTEXTURESTAGESTATETYPE state : {D3DTSS_ALPHAOP, D3DTSS_COLORARG1, D3DTSS_COLORARG2}) {
        values.push_back(0xDEADBEEF);
        device->GetTextureStageState(0, state, &values.back());
    }
    for (D3DSAMPLERSTATETYPE state : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER}) {
        values.push_back(0xDEADBEEF);
        device->GetSamplerState(0, state, &values.back());
    }
    return values;
}

struct ColouredVertex {
    float x, y, z;
    D3DCOLOR colour;
};
constexpr DWORD kColouredFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

// What a program makes in the default pool itself and lets go of and makes
// again through the device notifications: a render target filled yellow, a
// dynamic vertex buffer drawing a blue square, a D3DX font, and a second
// effect (in a Shader of its own) drawing a green square through a handle.
struct ProgramObjects {
    IDirect3DTexture9 *target = nullptr;
    IDirect3DVertexBuffer9 *vertices = nullptr;
    ID3DXFont *font = nullptr;
    Shader second;
    D3DXHANDLE colour = nullptr;
    int resets = 0;
    bool cloned = false;
    std::vector<DWORD> statesAfterReset; // read first thing in the reset function

    HRESULT Make() {
        IDirect3DDevice9 *device = GetDevice();
        HRESULT hr = device->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                           D3DPOOL_DEFAULT, &target, nullptr);
        IDirect3DSurface9 *surface = nullptr;
        if (SUCCEEDED(hr) && SUCCEEDED(hr = target->GetSurfaceLevel(0, &surface))) {
            hr = device->ColorFill(surface, nullptr, 0xFFFFFF00);
            surface->Release();
        }
        if (SUCCEEDED(hr)) {
            hr = device->CreateVertexBuffer(4 * sizeof(ColouredVertex),
                                            D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kColouredFvf,
                                            D3DPOOL_DEFAULT, &vertices, nullptr);
        }
        return hr;
    }
    void Release() {
        if (GetDevice() != nullptr) {
            GetDevice()->SetStreamSource(0, nullptr, 0, 0);
        }
        if (vertices != nullptr) {
            vertices->Release();
            vertices = nullptr;
        }
        if (target != nullptr) {
            target->Release();
            target = nullptr;
        }
    }

    static HRESULT Lost(void *self) {
        auto &program = *static_cast<ProgramObjects *>(self);
        program.Release();
        return program.font->OnLostDevice();
    }
    static HRESULT Reset(void *self) {
        auto &program = *static_cast<ProgramObjects *>(self);
        program.statesAfterReset = PresetStates();
        ++program.resets;
        // A clone is a new effect: its handles are taken again.
        program.cloned = WereEffectsCloned() != FALSE;
        if (program.cloned) {
            program.colour = program.second.lpEffect->GetParameterByName(nullptr, "ColorDiffuse");
        }
        const HRESULT hr = program.Make();
        return SUCCEEDED(hr) ? program.font->OnResetDevice() : hr;
    }
};

// In a column of their own right of the middle: the text at the top, then
// the render target, the vertex buffer's square and the effect's square.
void DrawProgramObjects(ProgramObjects &program) {
    IDirect3DDevice9 *device = GetDevice();
    const float w = static_cast<float>(GetWidth()), h = static_cast<float>(GetHeight());
    SetRenderStateFlags(RSF_MODULATE | RSF_POINT);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetTexture(0, program.target);
    DrawRect(0.51f * w, 0.61f * h, 0.59f * w, 0.69f * h, 0xFFFFFFFF);
    device->SetTexture(0, nullptr);

    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    SetWorldMatrix(&identity);
    ColouredVertex *v = nullptr;
    if (SUCCEEDED(program.vertices->Lock(0, 0, reinterpret_cast<void **>(&v), D3DLOCK_DISCARD))) {
        for (int i = 0; i < 4; ++i) { // a square of half side 0.08 at (0.1, -0.55)
            v[i] = {i % 2 ? 0.18f : 0.02f, i < 2 ? -0.47f : -0.63f, 0.5f, 0xFF0000FF};
        }
        program.vertices->Unlock();
    }
    device->SetFVF(kColouredFvf);
    device->SetStreamSource(0, program.vertices, 0, sizeof(ColouredVertex));
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    device->SetStreamSource(0, nullptr, 0, 0);

    const float green[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    DrawEffectSquare(program.second.lpEffect, program.colour, green, 0.08f, 0.1f, -0.8f);

    RECT rect = {static_cast<LONG>(0.48f * w), static_cast<LONG>(0.5f * h) + 8, 0, 0};
    program.font->DrawTextA(nullptr, "PRG", -1, &rect, DT_NOCLIP, 0xFFFFFFFF);
}

// The program's objects in a frame of any size, away from their edges.
void ExpectProgramObjects(const pixels::Image &image) {
    const LONG w = static_cast<LONG>(image.width), h = static_cast<LONG>(image.height);
    EXPECT_TRUE(pixels::AreaIs(image, {w * 52 / 100, h * 62 / 100, w * 58 / 100, h * 68 / 100},
                               0xFFFFFF00, 2))
        << "the program's render target";
    EXPECT_TRUE(pixels::AreaIs(image, {w * 52 / 100, h * 745 / 1000, w * 58 / 100, h * 805 / 1000},
                               0xFF0000FF, 2))
        << "the program's vertex buffer";
    EXPECT_TRUE(pixels::AreaIs(image, {w * 52 / 100, h * 87 / 100, w * 58 / 100, h * 93 / 100},
                               0xFF00FF00, 2))
        << "the program's effect";
    EXPECT_GT(
        pixels::Count(image, {w * 48 / 100, h / 2, w * 48 / 100 + 100, h / 2 + 60}, 0xFFFFFFFF, 8),
        50)
        << "the program's font";
}

// ---- The program ---------------------------------------------------------------

// The frame: in clip space the strips mesh in the top-left quarter, the box
// mesh in the top-right one, a magenta square of the shader pair and a cyan
// one of the effect at the bottom right; the keyed texture and two lines of
// text at the bottom left; over all of it the blur's glow. Every part sets
// the states it needs, as after a reset the device has its defaults.
void DrawScene(ProgramObjects &program) {
    IDirect3DDevice9 *device = GetDevice();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    SetViewMatrix(&identity);
    SetProjectionMatrix(&identity);
    SetRenderStateFlags(0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE); // the box's vertex alpha is 0
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    D3DXMATRIX world = Placed(0.5f, -0.5f, 0.5f);
    SetWorldMatrix(&world);
    DrawMesh(0);
    world = Placed(0.5f, 0.5f, 0.5f);
    SetWorldMatrix(&world);
    DrawMesh(1);

    SetRenderStateFlags(RSF_BLEND | RSF_MODULATE | RSF_POINT);
    SetTexture("colourkey.bmp");
    const float h = static_cast<float>(GetHeight());
    DrawRect(40, h - 120, 200, h - 40, 0xFFFFFFFF);

    ApplyVertexShader();
    ApplyPixelShader();
    DrawSquare(0.5f, -0.3f, 0.15f);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    const float cyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};
    DrawEffectSquare(shader.lpEffect, "ColorDiffuse", cyan, 0.15f, 0.5f, -0.75f);

    DrawProgramObjects(program);
    DrawString(0, 40, h / 2 + 40, 0xFFFFFFFF, 2, "HIH");
    DrawString(1, 40, h / 2 + 120, 0xFFFFFFFF, 1, "fw fw fw");
    DrawEffectGaussianBlur(0x40FFFFFF);
}

// The framework with every kind of resource of its own and the program's
// objects, at the given size.
class RealProgram : public ::testing::Test {
  protected:
    void Start(int width, int height, int windowed) {
        ASSERT_EQ(InitFramework("fw", width, height, windowed), 0)
            << ::testing::PrintToString(answerer_.Texts());
        ASSERT_EQ(var.d3dpp.Windowed, windowed);
        std::printf("%s %d x %d on %s\n", windowed ? "windowed" : "full-screen", width, height,
                    GetAdapterDescription());
        ASSERT_EQ(CreateFontData(0, "DejaVu Sans", 48), S_OK);
        ASSERT_EQ(CreateFontData(1, "DejaVu Sans", 24), S_OK);
        ASSERT_EQ(LoadMesh(0, "strips.x"), 0);
        ASSERT_EQ(LoadMesh(1, "hako.x"), 0);
        ASSERT_EQ(LoadTexture("colourkey.bmp"), S_OK);
        ASSERT_EQ(LoadTexture("spark.png"), S_OK);
        ASSERT_EQ(AssembleShaderFromCode(kVertexShader, 0, kPixelShader, 0), S_OK);
        ID3DXEffect *probe = nullptr;
        if (FAILED(D3DXCreateEffectFromFileA(GetDevice(), "etest.fx", nullptr, nullptr, 0, nullptr,
                                             &probe, nullptr))) {
            GTEST_SKIP() << "effects from source are not supported by this Direct3D implementation";
        }
        // The evidence of which D3DX this is: a state block kept past
        // OnLostDevice holds a reference to the device.
        const ULONG before = DeviceReferences();
        UINT passes = 0;
        if (SUCCEEDED(probe->Begin(&passes, 0))) {
            probe->End();
        }
        probe->OnLostDevice();
        const ULONG after = DeviceReferences();
        probe->Release();
        keepsStateBlock_ = after > before;
        std::printf("device references around an effect's Begin, End and OnLostDevice: %lu -> "
                    "%lu: this D3DX %s the state block\n",
                    before, after, keepsStateBlock_ ? "keeps" : "frees");
        ASSERT_EQ(CreateEffectFromFile("etest.fx"), S_OK);

        ASSERT_EQ(program_.second.CreateEffectFromFile("etest.fx"), S_OK);
        program_.colour = program_.second.lpEffect->GetParameterByName(nullptr, "ColorDiffuse");
        ASSERT_NE(program_.colour, nullptr);
        ASSERT_EQ(D3DXCreateFontA(GetDevice(), 32, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  "DejaVu Sans", &program_.font),
                  S_OK);
        ASSERT_EQ(program_.Make(), S_OK);
        ASSERT_EQ(AddDeviceNotification(ProgramObjects::Lost, ProgramObjects::Reset, &program_),
                  S_OK);
        registered_ = true;
        EnableFlip();
        SetAfterimageColor(0x80FFFFFF);
        WrapDevice(GetDevice());
    }
    void TearDown() override {
        EXPECT_EQ(answerer_.Texts(), std::vector<std::string>()) << "no box";
        EXPECT_EQ(quits_, 0) << "the frame loop goes on";
        if (registered_) {
            RemoveDeviceNotification(ProgramObjects::Lost, ProgramObjects::Reset, &program_);
        }
        program_.Release();
        if (program_.font != nullptr) {
            program_.font->Release();
        }
        program_.second.Release();
        ReleaseShader();
        UnwrapDevice(GetDevice());
        ExitFramework();
    }

    static ULONG DeviceReferences() {
        GetDevice()->AddRef();
        return GetDevice()->Release();
    }

    // One pass of the frame loop, as a program on the framework runs it;
    // Flip's result. `image` receives the frame before it is presented.
    HRESULT Frame(pixels::Image *image = nullptr) {
        quits_ += UpdateFramework() == 0 ? 1 : 0;
        if (ClearAndBeginScene(0xFF000000, 0) == 0) {
            DrawScene(program_);
            // The word in force when the frame ends (and the device goes).
            SetRenderStateFlags(kPresetWord);
            if (statesOfWord_.empty()) {
                statesOfWord_ = PresetStates();
            }
            EndScene();
            if (image != nullptr) {
                EXPECT_TRUE(pixels::Read(GetDevice(), GetFlipSurface(), image));
            }
        }
        return Flip(0xFFFFFFFF);
    }

    // Enough frames for the afterimage to settle, then one read back.
    pixels::Image SettledFrame() {
        pixels::Image image;
        for (int frame = 0; frame < 12; ++frame) {
            Frame();
        }
        Frame(&image);
        return image;
    }

    boxes::Answerer answerer_;
    ProgramObjects program_;
    bool registered_ = false;
    bool keepsStateBlock_ = false;
    std::vector<DWORD> statesOfWord_; // read back right after the word was set
    int quits_ = 0;
};

class RealLoss : public RealProgram {
  protected:
    void SetUp() override {
        Start(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 0);
        if (!IsSkipped() && !HasFatalFailure()) {
            intruder_ = new Intruder(GetWindowHandle());
        }
    }
    void TearDown() override {
        delete intruder_;
        RealProgram::TearDown();
    }

    // What must not go while the device is lost.
    static std::array<void *, 8> Held() {
        return {var.lpFlipTexture[0],  var.lpFlipTexture[1], var.lpEffectTexture, var.lpBackSurface,
                shader.lpVertexShader, shader.lpPixelShader, var.lpFont[0],       var.lpFontSprite};
    }

    // Another window takes the foreground; the frame loop runs on until the
    // device is lost, then `lostFrames` frames more, then the framework's
    // window is restored and the loop runs until the device has been reset.
    // False when the device was never lost.
    bool LoseAndRestore(int lostFrames) {
        timeline.clear();
        timelineStart = Now();
        intruder_->Take();
        while (GetDevice()->TestCooperativeLevel() == D3D_OK) {
            if (Now() - timelineStart > 3000) {
                return false;
            }
            Frame();
        }
        const std::array<void *, 8> held = Held();
        for (int frame = 0; frame < lostFrames; ++frame) {
            const DWORD start = Now();
            EXPECT_EQ(Frame(), E_FAIL);
            EXPECT_GE(Now() - start, 240u) << "a lost frame waits";
            EXPECT_EQ(Held(), held) << "nothing is released while the device is lost";
        }
        intruder_->GiveBack();
        const int before = resets;
        int frames = 0;
        while (resets == before && frames < 10) {
            Frame();
            ++frames;
        }
        EXPECT_EQ(resets, before + 1) << "reset within 10 frames of the restore";
        return true;
    }

    Intruder *intruder_ = nullptr;
};

TEST_F(RealLoss, AfterARealLossTheSameFrameIsDrawnAgain) {
    const pixels::Image before = SettledFrame();
    const LONG w = static_cast<LONG>(before.width), h = static_cast<LONG>(before.height);
    // What the frame shows, away from edges.
    EXPECT_TRUE(pixels::AreaIs(before, {16, 16, w / 6 - 16, h / 2 - 16}, 0xFF00FF00, 2)) << "mesh";
    EXPECT_TRUE(pixels::AreaIs(before, {w / 6 + 16, 16, w / 3 - 16, h / 2 - 16}, 0xFFFF0000, 2))
        << "mesh";
    EXPECT_TRUE(
        pixels::AreaIs(before, {w * 11 / 16, h * 3 / 16, w * 13 / 16, h * 5 / 16}, 0xFFFFFFFF, 8))
        << "box mesh";
    EXPECT_TRUE(pixels::AreaIs(before, {122, h - 118, 198, h - 42}, 0xFFFFFFFF, 1)) << "texture";
    EXPECT_TRUE(pixels::AreaIs(before, {42, h - 118, 78, h - 42}, 0xFF000000, 2)) << "keyed";
    EXPECT_TRUE(
        pixels::AreaIs(before, {w * 7 / 10, h * 12 / 20, w * 8 / 10, h * 14 / 20}, 0xFFFF00FF, 2))
        << "shader pair";
    EXPECT_TRUE(
        pixels::AreaIs(before, {w * 7 / 10, h * 17 / 20, w * 8 / 10, h * 18 / 20}, 0xFF00FFFF, 2))
        << "effect";
    EXPECT_GT(pixels::Count(before, {40, h / 2 + 40, 200, h / 2 + 110}, 0xFFFFFFFF, 8), 200)
        << "text";
    EXPECT_GT(pixels::Count(before, {40, h / 2 + 120, 200, h / 2 + 150}, 0xFFFFFFFF, 8), 50)
        << "text";
    ExpectProgramObjects(before);
    const D3DXHANDLE handle = program_.colour;

    if (!LoseAndRestore(3)) {
        GTEST_SKIP() << "this Direct3D 9 keeps a full-screen device when another window takes "
                        "the foreground";
    }
    PrintTimeline();
    EXPECT_EQ(failedResets, 0) << "reset at the first attempt";
    EXPECT_EQ(program_.resets, 1);
    // The stored word is on the device again before the program's reset
    // function runs, fog included.
    ASSERT_FALSE(statesOfWord_.empty());
    EXPECT_EQ(statesOfWord_[0], static_cast<DWORD>(TRUE)) << "fog";
    EXPECT_EQ(program_.statesAfterReset, statesOfWord_);
    // The effects were cloned exactly where this D3DX keeps the state block;
    // elsewhere the handle taken before the loss still serves (the frame
    // below draws with it).
    EXPECT_EQ(program_.cloned, keepsStateBlock_);
    std::printf("effects %s\n", program_.cloned ? "cloned: handles taken again"
                                                : "kept: handles taken before the loss serve");
    if (!program_.cloned) {
        EXPECT_EQ(program_.colour, handle);
    }
    // Right after the reset: the state kept, both flip buffers new and clear.
    EXPECT_TRUE(var.bFlip);
    EXPECT_EQ(var.dwAfterimageColor, 0x80FFFFFFu);
    for (IDirect3DSurface9 *flip : var.lpFlipSurface) {
        pixels::Image image;
        ASSERT_TRUE(pixels::Read(GetDevice(), flip, &image));
        EXPECT_TRUE(pixels::AreaIs(image, {0, 0, w, h}, 0x00000000, 0)) << "a cleared flip buffer";
    }
    const pixels::Image after = SettledFrame();
    ExpectProgramObjects(after);
    EXPECT_TRUE(pixels::Same(after, before, 2));
}

// Each reset succeeds at once, and a lost device costs nothing that stays.
TEST_F(RealLoss, TwentyLossesInARowLeaveNothingBehind) {
    const pixels::Image before = SettledFrame();
    std::vector<DWORD> handles;
    std::vector<SIZE_T> privateBytes;
    for (int cycle = 0; cycle < 20; ++cycle) {
        if (!LoseAndRestore(1)) {
            if (cycle > 0) {
                FAIL() << "loss " << cycle + 1 << " never came";
            }
            GTEST_SKIP() << "this Direct3D 9 keeps a full-screen device when another window "
                            "takes the foreground";
        }
        for (int frame = 0; frame < 3; ++frame) {
            Frame();
        }
        handles.push_back(bench::HandleCount());
        privateBytes.push_back(PrivateBytes());
        ASSERT_NE(handles.back(), 0u);
        ASSERT_NE(privateBytes.back(), 0u);
        std::printf("cycle %2d: %lu handles, %lu KiB private\n", cycle + 1, handles.back(),
                    static_cast<unsigned long>(privateBytes.back() / 1024));
        std::fflush(stdout); // a run that stops shows how far it came
    }
    PrintTimeline();
    EXPECT_EQ(resets, 20);
    EXPECT_EQ(failedResets, 0);
    // From the fifth cycle on (what the first losses make is kept for the
    // next ones). The heap grows in steps of a few MiB now and then, so the
    // memory's bound is on the median growth per loss. Here that is about
    // 64 KiB: 16 KiB with everything loaded and nothing drawn, as with
    // nothing loaded, and a few KiB more for each kind of drawing after a
    // reset, fixed-function meshes as much as anything; Wine's and the GL
    // driver's own, since the framework's objects are all released (Reset
    // succeeds) and the handle count stays flat.
    EXPECT_LE(*std::max_element(handles.begin() + 4, handles.end()), handles[4] + 2);
    std::vector<SIZE_T> growth;
    for (size_t cycle = 5; cycle < privateBytes.size(); ++cycle) {
        growth.push_back(privateBytes[cycle] -
                         std::min(privateBytes[cycle], privateBytes[cycle - 1]));
    }
    std::nth_element(growth.begin(), growth.begin() + growth.size() / 2, growth.end());
    std::printf("median growth per loss: %lu KiB\n",
                static_cast<unsigned long>(growth[growth.size() / 2] / 1024));
    EXPECT_LE(growth[growth.size() / 2], 128u * 1024);
    EXPECT_EQ(program_.resets, 20);
    EXPECT_TRUE(pixels::Same(SettledFrame(), before, 2));
}

// Render targets of fw's own service, drawn once before the loss and not
// again, with no notification of the program's: the kept one comes back with
// its picture, the other one transparent black, both drawable.
void DrawHalves(int index, D3DCOLOR left, D3DCOLOR right) {
    ASSERT_EQ(BeginScene(), D3D_OK);
    ASSERT_EQ(BeginRenderTarget(index, TRUE, 0xFF000000), S_OK);
    SetRenderStateFlags(0);
    real::DiffuseOnly();
    DrawRect(0, 0, 32, 64, left);
    DrawRect(32, 0, 64, 64, right);
    EXPECT_EQ(EndRenderTarget(), S_OK);
    EndScene();
}

pixels::Image ReadTarget(int index) {
    IDirect3DSurface9 *surface = nullptr;
    pixels::Image image;
    if (GetRenderTargetTexture(index) != nullptr &&
        SUCCEEDED(GetRenderTargetTexture(index)->GetSurfaceLevel(0, &surface))) {
        EXPECT_TRUE(pixels::Read(GetDevice(), surface, &image));
        surface->Release();
    }
    return image;
}

TEST_F(RealLoss, RenderTargetsComeBackWithoutANotification) {
    ASSERT_EQ(
        CreateRenderTarget(0, 64, 64, D3DFMT_X8R8G8B8, RENDER_TARGET_KEEP | RENDER_TARGET_DEPTH),
        S_OK);
    ASSERT_EQ(CreateRenderTarget(1, 64, 64, D3DFMT_X8R8G8B8, 0), S_OK);
    DrawHalves(0, 0xFFFFFF00, 0xFF00FFFF);
    DrawHalves(1, 0xFFFF00FF, 0xFF00FF00);
    const pixels::Image kept = ReadTarget(0);
    ASSERT_TRUE(pixels::AreaIs(kept, {0, 0, 32, 64}, 0xFFFFFF00, 0));
    ASSERT_TRUE(pixels::AreaIs(kept, {32, 0, 64, 64}, 0xFF00FFFF, 0));

    if (!LoseAndRestore(1)) {
        GTEST_SKIP() << "this Direct3D 9 keeps a full-screen device when another window takes "
                        "the foreground";
    }
    EXPECT_TRUE(pixels::Same(ReadTarget(0), kept, 0)) << "the kept target";
    const pixels::Image cleared = ReadTarget(1);
    ASSERT_EQ(cleared.width, 64u);
    EXPECT_EQ(pixels::Count(cleared, {0, 0, 64, 64}, 0x00000000, 0), 64 * 64)
        << "the other one, made again";
    DrawHalves(1, 0xFFFF00FF, 0xFF00FF00);
    EXPECT_TRUE(pixels::AreaIs(ReadTarget(1), {32, 0, 64, 64}, 0xFF00FF00, 0));
    ReleaseRenderTarget(0);
    ReleaseRenderTarget(1);
}

// What the user sees of the window in a mode: a framed window (without a
// sizing border, which was not asked for) or a popup, a client area of the
// back buffer's size at `place` (the outer window's top left; full screen:
// the screen's corner), and the cursor at a known point of the screen read
// as that pixel of the back buffer.
void ExpectWindowInMode(int width, int height, int windowed, POINT place) {
    HWND window = GetWindowHandle();
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, windowed ? WS_CAPTION : 0) << "a caption only when windowed";
    EXPECT_EQ(style & WS_POPUP, windowed ? 0 : WS_POPUP) << "a popup only in full screen";
    EXPECT_EQ(style & WS_THICKFRAME, 0) << "no sizing border";
    RECT client = {}, outer = {};
    ASSERT_TRUE(GetClientRect(window, &client));
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(client.right - client.left, width);
    EXPECT_EQ(client.bottom - client.top, height);
    EXPECT_EQ(outer.left, place.x);
    EXPECT_EQ(outer.top, place.y);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const POINT pixel = {width / 3, height / 4};
    ASSERT_TRUE(SetCursorPos(origin.x + pixel.x, origin.y + pixel.y));
    const POINT read = GetCursorPosition();
    EXPECT_EQ(read.x, pixel.x) << "the cursor in back-buffer pixels";
    EXPECT_EQ(read.y, pixel.y) << "the cursor in back-buffer pixels";
}

// Windowed 640 x 480, full screen at the display's size, windowed 800 x 600:
// each frame at its size with the program's objects alive, and no box. The
// window is a popup in full screen, and comes back at the place it left.
class RealModeChange : public RealProgram {
  protected:
    void SetUp() override { Start(640, 480, 1); }
};

TEST_F(RealModeChange, EachModeDrawsTheFrameAtItsSize) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const POINT centred = {(screenWidth - 640) / 2, (screenHeight - 480) / 2};
    const struct {
        int width, height, windowed;
        POINT place;
    } modes[] = {
        {640, 480, 1, centred}, {screenWidth, screenHeight, 0, {0, 0}}, {800, 600, 1, centred}};
    timeline.clear();
    timelineStart = Now();
    for (const auto &mode : modes) {
        SCOPED_TRACE(::testing::Message() << mode.width << " x " << mode.height
                                          << (mode.windowed ? " windowed" : " full screen"));
        if (mode.width != GetWidth() || mode.windowed != IsWindowed()) {
            Note(mode.windowed ? "ChangeDisplayMode windowed" : "ChangeDisplayMode full screen",
                 S_OK, true);
            const int before = program_.resets;
            ASSERT_EQ(ChangeDisplayMode(mode.width, mode.height, mode.windowed), S_OK);
            EXPECT_EQ(program_.resets, before + 1);
        }
        EXPECT_EQ(GetWidth(), mode.width);
        EXPECT_EQ(GetHeight(), mode.height);
        EXPECT_EQ(var.d3dpp.Windowed, mode.windowed);
        const pixels::Image image = SettledFrame();
        Note("frame read back", S_OK, true);
        EXPECT_EQ(image.width, static_cast<UINT>(mode.width));
        EXPECT_EQ(image.height, static_cast<UINT>(mode.height));
        ExpectProgramObjects(image);
        D3DSURFACE_DESC blur = {};
        var.lpEffectSurface->GetDesc(&blur);
        EXPECT_EQ(blur.Width, static_cast<UINT>(mode.width)) << "the blur's target";
        ExpectWindowInMode(mode.width, mode.height, mode.windowed, mode.place);
    }
    // Alt+Enter switches only where the program asked for it.
    SendMessageA(GetWindowHandle(), WM_SYSKEYDOWN, VK_RETURN, 1 << 29);
    Frame();
    EXPECT_EQ(IsWindowed(), 1) << "off by default";
    PrintTimeline();
    EXPECT_EQ(failedResets, 0);
}

// A target of the back buffer's size follows a mode change; a kept one of
// its own size keeps its picture.
TEST_F(RealModeChange, RenderTargetsFollowTheModeChange) {
    ASSERT_EQ(CreateRenderTarget(0, 64, 64, D3DFMT_X8R8G8B8, RENDER_TARGET_KEEP), S_OK);
    ASSERT_EQ(CreateRenderTarget(1, 0, 0, D3DFMT_UNKNOWN, RENDER_TARGET_DEPTH), S_OK);
    DrawHalves(0, 0xFFFFFF00, 0xFF00FFFF);
    const pixels::Image kept = ReadTarget(0);
    ASSERT_EQ(ChangeDisplayMode(800, 600, 1), S_OK);
    EXPECT_TRUE(pixels::Same(ReadTarget(0), kept, 0));
    D3DSURFACE_DESC desc = {};
    ASSERT_NE(GetRenderTargetTexture(1), nullptr);
    GetRenderTargetTexture(1)->GetLevelDesc(0, &desc);
    EXPECT_EQ(std::make_pair(desc.Width, desc.Height), std::make_pair(800u, 600u));
    ReleaseRenderTarget(0);
    ReleaseRenderTarget(1);
}

// Repeats of Alt+Enter (bit 30: the key was down already) taken from the
// queue.
int repeats;
LRESULT CALLBACK CountRepeats(int code, WPARAM wParam, LPARAM lParam) {
    const MSG &msg = *reinterpret_cast<const MSG *>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg.message == WM_SYSKEYDOWN &&
        msg.wParam == VK_RETURN && (msg.lParam & (1 << 30)) != 0) {
        ++repeats;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Alt+Enter held for a second on the display (Xvfb repeats the key): one
// switch per press, made by the frame loop; to full screen at the display's
// size and back to the last window at its place.
TEST_F(RealModeChange, AltEnterHeldDownSwitchesOncePerPress) {
    HWND window = GetWindowHandle();
    if (!display::HasXdotool() || display::XWindowOf(window) == 0) {
        GTEST_SKIP() << "no key can be pressed on the display (no xdotool or no X window)";
    }
    RECT outer = {};
    GetWindowRect(window, &outer);
    const POINT place = {outer.left, outer.top};
    // Every message the frame loop takes, seen as it takes it.
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, CountRepeats, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    int allRepeats = 0;
    SetAltEnterToggles(TRUE);
    for (int windowed : {0, 1}) {
        SCOPED_TRACE(windowed ? "back to the window" : "to full screen");
        const int before = program_.resets;
        repeats = 0;
        ASSERT_TRUE(display::KeyDown(window, "alt+Return"));
        const DWORD start = Now();
        while (Now() - start < 1000) {
            Frame();
        }
        ASSERT_TRUE(display::KeyUp(window, "alt+Return"));
        Frame();
        std::printf("%d repeats of Alt+Enter reached the window while held\n", repeats);
        allRepeats += repeats;
        EXPECT_EQ(program_.resets, before + 1) << "one switch per press";
        EXPECT_EQ(IsWindowed(), windowed);
        const int width = windowed ? 640 : static_cast<int>(var.DisplayMode.Width);
        const int height = windowed ? 480 : static_cast<int>(var.DisplayMode.Height);
        EXPECT_EQ(GetWidth(), width);
        ExpectProgramObjects(SettledFrame());
        ExpectWindowInMode(width, height, windowed, windowed ? place : POINT{0, 0});
    }
    SetAltEnterToggles(FALSE);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(failedResets, 0);
    if (allRepeats == 0) {
        GTEST_SKIP() << "the display repeated no key: one press was not held long enough to show";
    }
}

// A resizable window: the back buffer follows the client area once a drag
// ends (not during it) and at the next frame after maximise, through the
// program's notifications; a minimised window keeps its back buffer.
TEST_F(RealModeChange, AResizableWindowsBackBufferFollowsItsClientArea) {
    HWND window = GetWindowHandle();
    SetWindowResizable(TRUE);
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_NE(style & WS_THICKFRAME, 0);
    // Resized 640 x 480 to 720 x 540 as a drag of the border does it.
    RECT outer = {0, 0, 720, 540};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(style), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
    SendMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    Frame();
    EXPECT_EQ(GetWidth(), 640) << "not during the drag";
    SendMessageA(window, WM_EXITSIZEMOVE, 0, 0);
    const auto expectClientSize = [&](int resets) {
        const pixels::Image image = SettledFrame();
        RECT client = {};
        GetClientRect(window, &client);
        EXPECT_EQ(program_.resets, resets);
        EXPECT_EQ(GetWidth(), client.right);
        EXPECT_EQ(GetHeight(), client.bottom);
        EXPECT_EQ(image.width, static_cast<UINT>(client.right));
        EXPECT_EQ(image.height, static_cast<UINT>(client.bottom));
        ExpectProgramObjects(image);
    };
    expectClientSize(1);
    EXPECT_EQ(GetWidth(), 720);
    EXPECT_EQ(GetHeight(), 540);

    ShowWindow(window, SW_MINIMIZE);
    for (int frame = 0; frame < 3; ++frame) {
        Frame();
    }
    EXPECT_EQ(GetWidth(), 720) << "no 0 x 0 back buffer while minimised";
    ShowWindow(window, SW_RESTORE);
    expectClientSize(1);

    ShowWindow(window, SW_MAXIMIZE);
    Frame();
    RECT client = {};
    GetClientRect(window, &client);
    if (client.right == 720) {
        SetWindowResizable(FALSE);
        GTEST_SKIP() << "nothing maximises a window on this display (no window manager)";
    }
    expectClientSize(2);
    EXPECT_GT(GetWidth(), 720);
    SetWindowResizable(FALSE);
    EXPECT_EQ(failedResets, 0);
}

} // namespace
