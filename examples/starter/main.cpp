// A first program on fw, to copy and grow: a window with a line of text and
// three rectangles, the middle one turning, that the arrow keys (or the game controller's stick)
// move, a short sound on Z (or the controller's first button), Escape to quit.
//
// fw needs a game controller: without one, start-up shows two error boxes
// ("InitInput : CreateJoystick" ...) and the program ends. To run it on a
// machine without one, see "Writing your own program on fw" in fw's
// README.md: tools/run.sh lends the program a virtual controller.
//
// Reads "blip.wav" from the working folder (the build puts it beside the
// executable). Prints "sound: playing" each time the sound starts.
#include <fw/fw.h> // the whole framework; link the CMake target fw::fw

#include <cstdio>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// Colours are 32-bit ARGB, alpha in the top byte.
constexpr D3DCOLOR kBackground = 0xFF203040;
constexpr D3DCOLOR kTextColor = 0xFFFFE060;
constexpr D3DCOLOR kBoxColors[] = {0xFFE04040, 0xFF40D040, 0xFF4080FF};

// fw keeps fonts in numbered slots (0 to 31) and sounds in numbered
// channels (0 to 255): pick a number for each of yours.
constexpr int kFont = 0;
constexpr unsigned kBlip = 0;

float boxX = kWidth / 2.0f; // the centre of the row of rectangles
float boxY = kHeight / 2.0f;
DWORD lastButtons = 0; // last frame's buttons, to see presses
bool wasPlaying = false;

// Once a frame: read the controls, move, start the sound.
void Update() {
    // Keyboard and controller together, one bit per button (BUTTON_UP, ...):
    // the arrow keys and the stick give the directions, Z and the
    // controller's button 0 give BUTTON_0.
    const DWORD buttons = GetButtons();
    const float step = 4.0f; // pixels a frame
    if (buttons & BUTTON_LEFT) {
        boxX -= step;
    }
    if (buttons & BUTTON_RIGHT) {
        boxX += step;
    }
    if (buttons & BUTTON_UP) {
        boxY -= step;
    }
    if (buttons & BUTTON_DOWN) {
        boxY += step;
    }
    // The mask says what is down now; a press is a bit that was not set last
    // frame.
    if ((buttons & BUTTON_0) && !(lastButtons & BUTTON_0)) {
        PlaySoundChannel(kBlip); // plays from the start, once
    }
    lastButtons = buttons;

    // A channel's DirectSound buffer is open to you: here it tells when the
    // sound really plays.
    DWORD status = 0;
    IDirectSoundBuffer8 *buffer = SoundChannels[kBlip].lpBuffer;
    const bool playing =
        buffer != nullptr && SUCCEEDED(buffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING);
    if (playing && !wasPlaying) {
        std::printf("sound: playing\n");
        std::fflush(stdout);
    }
    wasPlaying = playing;
}

// Once a frame: ClearAndBeginScene, your drawing, EndScene, Flip.
void Draw() {
    if (ClearAndBeginScene(kBackground, FALSE) == 0) {
        // Rectangles are collected with AddQuad... and drawn together by
        // FlushQuads, with the texture and render states set at that moment:
        // no texture here, plain colours.
        SetTexture(nullptr);
        SetRenderStateFlags(0);
        AddQuadCentered(boxX - 80.0f, boxY, 30.0f, 30.0f, kBoxColors[0]);
        // A sprite: centre, size, turn (radians, clockwise; here half a
        // turn a second), colour, and the part of the bound texture to show
        // (all of it: with no texture bound, the colour alone).
        AddSprite(boxX, boxY, 60.0f, 60.0f, static_cast<float>(GetTime()) * 3.14159265f,
                  kBoxColors[1], 0.0f, 0.0f, 1.0f, 1.0f);
        AddQuadCentered(boxX + 80.0f, boxY, 30.0f, 30.0f, kBoxColors[2]);
        FlushQuads();
        // Text over a black drop shadow 2 pixels to the right and below.
        DrawString(kFont, 20, 20, kTextColor, 2, "Hello, fw! Arrows move, Z plays, Esc quits.");
        EndScene();
    }
    Flip(0xFFFFFFFF); // shows the frame; waits for the display's refresh
}

} // namespace

int main(int, char **) {
    // Window title, client size, windowed. Starts the window, input, sound
    // and the Direct3D device; on failure it has shown what failed in a box
    // and shut everything down again.
    SetWindowResizable(TRUE); // drag or maximise: GetWidth and GetHeight follow
    SetAltEnterToggles(TRUE); // Alt+Enter: full screen and back
    if (InitFramework("fw starter", kWidth, kHeight, 1) != 0) {
        return 0;
    }
    SetFrameRateLimit(60); // at most 60 evenly spaced frames a second
    // Text sized for the display's scaling (1.5 at 150 %); another face
    // stands in if Arial is missing.
    CreateFontData(kFont, "Arial", static_cast<int>(24 * GetWindowDpiScale()));
    if (FAILED(LoadSoundChannel(kBlip, "blip.wav"))) {
        std::printf("cannot open blip.wav\n");
    }

    // The frame loop: UpdateFramework handles the window's messages and
    // reads the keyboard and controller; it returns 0 once the window is
    // closed or Escape is pressed.
    while (UpdateFramework()) {
        Update();
        Draw();
    }

    // Releases everything fw made: sound channels, fonts, the device, the
    // window. Release your own Direct3D objects before this.
    ExitFramework();
    return 0;
}
