// The fw showcase scene (see showcase.h): the field of sparks, the fonts and
// the sound channels, each frame's update and drawing.
#include "showcase.h"

#include <fw/app/framework.h>
#include <fw/app/window.h>
#include <fw/graphics/graphics.h>
#include <fw/graphics/renderstate.h>
#include <fw/input/buttons.h>
#include <fw/resources/font.h>
#include <fw/resources/quad_batch.h>
#include <fw/resources/texture.h>
#include <fw/sound/sound.h>
#include <fw/util/sintable.h>
#include <fw/util/task.h>

#include <mmsystem.h>

#include <cstdio>
#include <new>

namespace {

constexpr int kWidth = kShowcaseWidth;
constexpr int kHeight = kShowcaseHeight;
constexpr D3DCOLOR kBackground = 0xFF080C18;
// Trails: the previous frame, tinted towards blue, laid under each new one.
// NOTE: the glow is drawn into the frame that the next frame lays over itself,
// so the afterimage's share plus the glow's must stay well below 1 in every
// channel, or the picture brightens without end: with the glow on, the
// trails are shorter.
constexpr D3DCOLOR kAfterimage = 0xE0D0E0F0;     // about 3/4 kept a frame
constexpr D3DCOLOR kAfterimageGlow = 0xB0A0A8B8; // about 1/2
constexpr D3DCOLOR kGlow = 0x60FFFFFF;
constexpr D3DCOLOR kTitleColor = 0xFFFFD040;
constexpr D3DCOLOR kInfoColor = 0xFFE0E8F0;
constexpr D3DCOLOR kSparkColors[] = {0xFFFF7030, 0xFF30C0FF, 0xFFFF40B0, 0xFF90FF40};
constexpr int kSparkColorCount = sizeof(kSparkColors) / sizeof(kSparkColors[0]);

constexpr const char *kSparkImage = "spark.png";
constexpr int kTitleFont = 0;
constexpr int kInfoFont = 1;

constexpr int kFieldSize = 3000;       // sparks kept alive
constexpr int kSpawnPerFrame = 300;    // at most, to refill the field
constexpr float kMargin = 40.0f;       // sparks this far off the window die
constexpr int kBurstSize = 400;        // sparks of one burst
constexpr float kMaxSpeed = 9.0f;      // pixels per frame
constexpr int32_t kQuarterTurn = 2048; // sine-table angle units

enum Channel : unsigned { kMusic = kShowcaseMusicChannel, kChime, kPop, kChannelCount };
constexpr const char *kChannelNames[kChannelCount] = {"music", "chime", "pop"};
constexpr const char *kChannelFiles[kChannelCount] = {"music.ogg", "chime.wav", "pop.wav"};

// The work area of a spark's task.
struct Spark {
    float pos[2];
    float vel[2];
    int32_t angle; // of its swirl
    int32_t spin;  // swirl angle added per frame
    int32_t life;  // frames left
    int32_t lifetime;
    D3DCOLOR color;
    float size; // half width
};
static_assert(sizeof(Spark) <= sizeof(Task::work), "a spark lives in its task's work area");

struct Showcase {
    float centre[2];
    float offset[2]; // the user's push of the centre
    int32_t time;    // frames since start
    uint32_t seed;
    bool full; // the field has been full once
    bool glow;
    bool trails;
    bool soundOn;
    DWORD lastButtons;
    bool playing[kChannelCount];
    // Frame rate, measured over half-second spans.
    DWORD spanStart;
    int spanFrames;
    float fps;
};
Showcase show;

Spark *SparkOf(Task *task) { return std::launder(reinterpret_cast<Spark *>(task->work)); }

uint32_t Random() {
    show.seed = show.seed * 1664525u + 1013904223u;
    return show.seed >> 8;
}

// cos and sin of a sine-table angle, as a plane vector of length `length`.
void Direction(float *v, int32_t angle, float length) {
    v[0] = GetSin(angle + kQuarterTurn);
    v[1] = GetSin(angle);
    Vec2SetLength(v, length);
}

void UpdateSpark(Task *task) {
    Spark *spark = SparkOf(task);
    // Swirl: a push that turns with the spark's own angle.
    spark->angle += spark->spin;
    float swirl[2];
    Direction(swirl, spark->angle, 0.35f);
    // Pull towards the centre.
    float pull[2];
    Vec2Direction(pull, spark->pos, show.centre, 0.3f);
    spark->vel[0] = (spark->vel[0] + swirl[0] + pull[0]) * 0.985f;
    spark->vel[1] = (spark->vel[1] + swirl[1] + pull[1]) * 0.985f;
    if (Vec2Length(spark->vel[0], spark->vel[1]) > kMaxSpeed) {
        Vec2SetLength(spark->vel, kMaxSpeed);
    }
    spark->pos[0] += spark->vel[0];
    spark->pos[1] += spark->vel[1];
    const bool away = spark->pos[0] < -kMargin || spark->pos[0] > kWidth + kMargin ||
                      spark->pos[1] < -kMargin || spark->pos[1] > kHeight + kMargin;
    if (--spark->life <= 0 || away) {
        KillTask(task);
    }
}

void DrawSpark(Task *task) {
    const Spark *spark = SparkOf(task);
    // Fades out over the last quarter of its life.
    const int32_t fade = spark->lifetime / 4;
    DWORD alpha = 255;
    if (spark->life < fade) {
        alpha = static_cast<DWORD>(255 * spark->life / fade);
    }
    AddQuadCentered(spark->pos[0], spark->pos[1], spark->size, spark->size,
                    (alpha << 24) | (spark->color & 0x00FFFFFF));
}

// A spark `radius` pixels from the centre in the direction `angle`, flying
// off at `speed` a quarter turn further on (so the field turns); false when
// the pool is full.
bool Spawn(int32_t angle, float radius, float speed, D3DCOLOR color) {
    Task *task = CreateTask(UpdateSpark, DrawSpark);
    if (IsTaskNil(task)) {
        return false;
    }
    Spark *spark = new (task->work) Spark{};
    Direction(spark->pos, angle, radius);
    spark->pos[0] += show.centre[0];
    spark->pos[1] += show.centre[1];
    Direction(spark->vel, angle + (radius > 0 ? kQuarterTurn : 0), speed);
    spark->angle = angle;
    spark->spin = static_cast<int32_t>(Random() % 97) - 48;
    spark->lifetime = 120 + static_cast<int32_t>(Random() % 180);
    spark->life = spark->lifetime;
    spark->color = color;
    spark->size = 3.0f + static_cast<float>(Random() % 5);
    return true;
}

void Burst(D3DCOLOR color, float speed) {
    for (int i = 0; i < kBurstSize; ++i) {
        Spawn(static_cast<int32_t>(i * 8192 / kBurstSize), 0.0f, speed, color);
    }
}

// The field task: moves the centre and keeps the field full.
void UpdateField(Task *) {
    const int32_t t = show.time;
    show.centre[0] = kWidth / 2 + show.offset[0] + 220.0f * GetSin(t * 23);
    show.centre[1] = kHeight / 2 + 40.0f + show.offset[1] + 120.0f * GetSin(t * 37 + kQuarterTurn);
    // CountTasks walks the whole list: count once, then along.
    int tasks = CountTasks();
    for (int i = 0; i < kSpawnPerFrame && tasks <= kFieldSize; ++i, ++tasks) {
        if (!Spawn(static_cast<int32_t>(Random()), static_cast<float>(Random() % 280),
                   2.0f + static_cast<float>(Random() % 40) / 10.0f,
                   kSparkColors[Random() % kSparkColorCount])) {
            break;
        }
    }
    if (!show.full && tasks > kFieldSize) {
        show.full = true;
        std::printf("field: %d sparks\n", kFieldSize);
        std::fflush(stdout);
    }
}

void UpdateSound() {
    for (unsigned channel = 0; channel < kChannelCount; ++channel) {
        DWORD status = 0;
        IDirectSoundBuffer8 *buffer = SoundChannels[channel].lpBuffer;
        const bool playing = buffer != nullptr && SUCCEEDED(buffer->GetStatus(&status)) &&
                             (status & DSBSTATUS_PLAYING);
        if (playing != show.playing[channel]) {
            show.playing[channel] = playing;
            std::printf("%s: %s\n", kChannelNames[channel], playing ? "playing" : "stopped");
            std::fflush(stdout);
        }
    }
}

void PlayEffect(Channel channel) {
    if (show.soundOn) {
        PlaySoundChannel(channel);
    }
}

void ApplyAfterimage() {
    SetAfterimageColor(!show.trails ? 0 : show.glow ? kAfterimageGlow : kAfterimage);
}

// Adds `step` to `value`, keeping it within -reach..reach.
void Push(float *value, float step, float reach) {
    *value += step;
    if (*value > reach) {
        *value = reach;
    }
    if (*value < -reach) {
        *value = -reach;
    }
}

void Update() {
    ++show.time;
    const DWORD buttons = GetButtons();
    const DWORD pressed = buttons & ~show.lastButtons;
    show.lastButtons = buttons;

    // The user pushes the centre about, within the window.
    const float push = 4.0f;
    Push(&show.offset[0], (buttons & BUTTON_RIGHT ? push : 0) - (buttons & BUTTON_LEFT ? push : 0),
         kWidth / 3);
    Push(&show.offset[1], (buttons & BUTTON_DOWN ? push : 0) - (buttons & BUTTON_UP ? push : 0),
         kHeight / 3);
    if (pressed & BUTTON_0) {
        Burst(0xFFFFF0A0, 7.0f);
        PlayEffect(kChime);
    }
    if (pressed & BUTTON_1) {
        Burst(0xFFA0F0FF, 4.0f);
        PlayEffect(kPop);
    }
    if (pressed & BUTTON_2) {
        show.glow = !show.glow;
        ApplyAfterimage();
    }
    if (pressed & BUTTON_3) {
        show.trails = !show.trails;
        ApplyAfterimage();
    }
    if (pressed & BUTTON_4) {
        show.soundOn = !show.soundOn;
        if (show.soundOn) {
            PlaySoundChannel(kMusic);
        } else {
            for (unsigned channel = 0; channel < kChannelCount; ++channel) {
                StopSoundChannel(channel);
            }
        }
    }

    RunTasks();
    ReapTasks();
    UpdateSound();

    ++show.spanFrames;
    const DWORD now = timeGetTime();
    if (now - show.spanStart >= 500) {
        show.fps = static_cast<float>(show.spanFrames) * 1000.0f /
                   static_cast<float>(now - show.spanStart);
        show.spanStart = now;
        show.spanFrames = 0;
    }
}

const char *SoundState() {
    if (!show.soundOn) {
        return "off";
    }
    if (show.playing[kChime] || show.playing[kPop]) {
        return "music + effect";
    }
    return show.playing[kMusic] ? "music" : "silent";
}

void Draw() {
    if (ClearAndBeginScene(kBackground, 0) == 0) {
        SetRenderStateFlags(RSF_BLEND | RSF_MODULATE | RSF_LINEAR);
        SetTexture(kSparkImage);
        DrawTasks();
        FlushQuads();
        if (show.glow) {
            DrawEffectGaussianBlur(kGlow);
        }
        DrawString(kTitleFont, 24, 16, kTitleColor, 3, "fw showcase");
        // The field task and every spark.
        DrawFormatString(kInfoFont, 24, 72, kInfoColor, 2, "%5.1f fps   %4d tasks   sound: %s",
                         show.fps, CountTasks(), SoundState());
        DrawString(kInfoFont, 24, kHeight - 30, kInfoColor, 2,
                   "arrows: move  Z X: burst  C: glow  A: trails  S: sound  Esc: quit");
        EndScene();
    }
    Flip(0xFFFFFFFF);
}

int CALLBACK FaceFound(const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM found) {
    *reinterpret_cast<bool *>(found) = true;
    return 0;
}

// The first face of the list that the system has, else the last: Windows
// has the first, Wine draws with the system's fonts.
const char *InstalledFace(const char *const *faces, int count) {
    HDC dc = GetDC(nullptr);
    int i = 0;
    for (; i < count - 1; ++i) {
        LOGFONTA font = {};
        font.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(font.lfFaceName, faces[i], LF_FACESIZE);
        bool found = false;
        EnumFontFamiliesExA(dc, &font, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
        if (found) {
            break;
        }
    }
    ReleaseDC(nullptr, dc);
    return faces[i];
}

void StartSound() {
    for (unsigned channel = 0; channel < kChannelCount; ++channel) {
        const HRESULT hr = channel == kMusic ? StreamSoundChannel(channel, kChannelFiles[channel])
                                             : LoadSoundChannel(channel, kChannelFiles[channel]);
        if (FAILED(hr)) {
            std::printf("%s: cannot open %s\n", kChannelNames[channel], kChannelFiles[channel]);
        }
    }
    SetSoundChannelLoop(kMusic, 1);
    PlaySoundChannel(kMusic);
    show.soundOn = true;
}

} // namespace

void StartShowcase() {
    InitSinTable();
    InitTasks();
    CreateTask(UpdateField, nullptr);
    show = Showcase{};
    show.seed = 12345;
    show.trails = true;
    show.spanStart = timeGetTime();

    EnableFlip();
    ApplyAfterimage();
    if (FAILED(LoadTexture(kSparkImage))) {
        std::printf("cannot load %s\n", kSparkImage);
    }
    const char *const titleFaces[] = {"Arial", "DejaVu Sans"};
    const char *const infoFaces[] = {"Courier New", "DejaVu Sans Mono"};
    CreateFontData(kTitleFont, InstalledFace(titleFaces, 2), 44);
    CreateFontData(kInfoFont, InstalledFace(infoFaces, 2), 16);
    StartSound();
    std::fflush(stdout);
}

void UpdateShowcase() { Update(); }

void DrawShowcase() { Draw(); }
