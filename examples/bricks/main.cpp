// fw bricks: a small brick-breaking game on fw, the second example beside
// the starter. A wall of bricks, a paddle, a ball: keep the ball in play and
// break every brick.
//
// Controls, all usable at the same time:
//   the mouse       the paddle follows the cursor; a left click launches
//   the keyboard    Left and Right move the paddle; Space or Z launches
//   a controller    the stick moves the paddle as far as it is pushed; the
//                   first button launches. An Xbox-style pad's triggers
//                   push the paddle too, and it rumbles when a ball is
//                   lost. None is needed: one plugged in while the game
//                   runs is picked up.
//   after a game    type a name for the high score; Enter keeps it
//   Escape          pauses and resumes (the game also pauses when its
//                   window loses the focus or is minimised)
//   Q, close box    quit
//
// It shows what fw offers a game beyond the starter: steps measured in
// seconds (GetFrameTime), keys and buttons "pressed this frame", the
// analogue stick, mouse buttons, text centred and right-aligned with
// MeasureString, and sounds that overlap, each with its own volume, pan and
// pitch.
//
// Reads hit.ogg, bounce.ogg and lose.ogg from the working folder (the build
// puts them beside the executable). Prints a line on the console whenever
// something a player would notice changes: "score: N", "lives: N", "ball:
// launched", "paused", "playing", "controller: connected", "controller: none",
// "game over", "cleared", "high score: NAME N". A script can follow the game
// by them.
#include <fw/fw.h> // the whole framework; link the CMake target fw::fw

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// ---- Constants --------------------------------------------------------------

constexpr int kWidth = 640; // the window's client area, in pixels
constexpr int kHeight = 480;

// Colours are 32-bit ARGB, alpha in the top byte. Each row of bricks has its
// own colour; upper rows are worth more.
constexpr D3DCOLOR kBackground = 0xFF101828;
constexpr D3DCOLOR kRowColors[] = {0xFFE04848, 0xFFE09030, 0xFFD8D040, 0xFF48C060, 0xFF4890E0};
constexpr D3DCOLOR kPaddleColor = 0xFF40E0E0;
constexpr D3DCOLOR kBallColor = 0xFFFFFFFF;
constexpr D3DCOLOR kTextColor = 0xFFF0F0F0;
constexpr D3DCOLOR kPanelColor = 0xFF303078; // behind the pause screen's text

// The wall: kRows rows of kColumns bricks, kBrickPitch pixels apart.
constexpr int kRows = 5;
constexpr int kColumns = 10;
constexpr float kBrickWidth = 56.0f;
constexpr float kBrickHeight = 20.0f;
constexpr float kBrickPitchX = 60.0f;
constexpr float kBrickPitchY = 26.0f;
constexpr float kWallLeft = (kWidth - kColumns * kBrickPitchX + (kBrickPitchX - kBrickWidth)) / 2;
constexpr float kWallTop = 60.0f;

// Sizes are half-widths and half-heights, the way AddQuadCentered takes them.
// Speeds are in pixels a second: multiplied by the frame's length in seconds,
// they move things as fast at 144 frames a second as at 30.
constexpr float kPaddleY = 440.0f;
constexpr float kPaddleHalfWidth = 45.0f;
constexpr float kPaddleHalfHeight = 6.0f;
constexpr float kPaddleSpeed = 520.0f;
constexpr float kBallRadius = 5.0f;
constexpr float kBallSpeed = 340.0f;
constexpr float kTop = 40.0f; // the ball bounces off the score line's bottom
constexpr float kPi = 3.14159265f;

// fw keeps fonts in numbered slots and sounds in numbered channels: pick a
// number for each of yours.
constexpr int kFont = 0;
constexpr int kBigFont = 1;
constexpr unsigned kHit = 0;    // a brick breaks
constexpr unsigned kBounce = 1; // a wall or the paddle
constexpr unsigned kLose = 2;   // the ball is lost

// ---- The game's state -------------------------------------------------------

enum class Phase { Serve, Play, Over, Cleared };

struct Game {
    bool brick[kRows][kColumns]; // true while the brick stands
    int bricksLeft;
    float paddleX;
    float ballX, ballY, ballVX, ballVY;
    Phase phase;
    int score;
    int lives;
    bool paused;
    float rumble; // seconds the pad still rumbles
    // The name typed for the high score (UTF-8) while naming is true.
    bool naming;
    char name[64];
};

Game game;
bool wasFocused = false; // last frame's IsWindowFocused
int wasConnected = -1;   // last frame's controller state; -1 before the first
POINT lastCursor;        // last frame's GetCursorPosition

// One line on the console, printf-style, written at once (a pipe would
// otherwise hold it back).
__attribute__((format(printf, 1, 2))) void Say(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
    std::fflush(stdout);
}

void AddScore(int points) {
    game.score += points;
    Say("score: %d", game.score);
}

void NewGame() {
    for (auto &row : game.brick) {
        for (bool &standing : row) {
            standing = true;
        }
    }
    game.bricksLeft = kRows * kColumns;
    game.paddleX = kWidth / 2.0f;
    game.phase = Phase::Serve;
    game.score = 0;
    game.lives = 3;
    AddScore(0);
    Say("lives: %d", game.lives);
}

void SetPaused(bool paused) {
    if (paused != game.paused) {
        game.paused = paused;
        SetIdleSleep(paused); // a paused game sleeps between frames
        Say(paused ? "paused" : "playing");
    }
}

// ---- Sound ------------------------------------------------------------------

// A brick's sound comes from where the ball is: panned from the left speaker
// to the right one with the ball's x, and higher for the upper rows. The
// channel plays over itself, so quick hits do not cut each other off.
void PlayHit(float x, int row) {
    // Each hit is a play of its own: its pan (hundredths of a decibel taken
    // off the other side; 2500 keeps the far side audible) and pitch (a
    // ratio of the file's own rate, higher for the upper rows) leave the
    // hits still sounding as they were.
    PlaySoundChannelWith(kHit, 0, static_cast<LONG>((x / kWidth * 2.0f - 1.0f) * 2500.0f),
                         1.0f + (kRows - 1 - row) * 0.15f);
}

void PlayBounce(float x) {
    PlaySoundChannelWith(kBounce, 0, static_cast<LONG>((x / kWidth * 2.0f - 1.0f) * 2500.0f), 1.0f);
}

// ---- Moving the ball --------------------------------------------------------

// Sends the ball up from the paddle at `angle` radians from straight up
// (negative is to the left).
void SendUp(float angle) {
    game.ballVX = kBallSpeed * std::sin(angle);
    game.ballVY = -kBallSpeed * std::cos(angle);
}

// Breaks the first standing brick the ball overlaps and turns the ball back
// along the axis it went in least. Returns whether it broke one.
bool HitBrick() {
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            if (!game.brick[row][column]) {
                continue;
            }
            const float left = kWallLeft + column * kBrickPitchX;
            const float top = kWallTop + row * kBrickPitchY;
            const float inX = std::fmin(left + kBrickWidth - (game.ballX - kBallRadius),
                                        game.ballX + kBallRadius - left);
            const float inY = std::fmin(top + kBrickHeight - (game.ballY - kBallRadius),
                                        game.ballY + kBallRadius - top);
            if (inX <= 0 || inY <= 0) {
                continue;
            }
            if (inX < inY) {
                game.ballVX = -game.ballVX;
            } else {
                game.ballVY = -game.ballVY;
            }
            game.brick[row][column] = false;
            --game.bricksLeft;
            AddScore((kRows - row) * 10);
            PlayHit(game.ballX, row);
            return true;
        }
    }
    return false;
}

// Moves the ball for `seconds`, bouncing off the walls, the paddle and the
// bricks. Called in steps short enough that the ball never jumps through a
// brick.
void StepBall(float seconds) {
    game.ballX += game.ballVX * seconds;
    game.ballY += game.ballVY * seconds;
    if (game.ballX < kBallRadius || game.ballX > kWidth - kBallRadius) {
        game.ballX = std::fmax(kBallRadius, std::fmin(game.ballX, kWidth - kBallRadius));
        game.ballVX = -game.ballVX;
        PlayBounce(game.ballX);
    }
    if (game.ballY < kTop + kBallRadius) {
        game.ballY = kTop + kBallRadius;
        game.ballVY = std::fabs(game.ballVY);
        PlayBounce(game.ballX);
    }
    // The paddle sends the ball back at an angle that grows towards its
    // ends, up to 60 degrees, so the player can aim.
    const float offset = (game.ballX - game.paddleX) / (kPaddleHalfWidth + kBallRadius);
    if (game.ballVY > 0 && std::fabs(offset) <= 1.0f &&
        game.ballY + kBallRadius >= kPaddleY - kPaddleHalfHeight &&
        game.ballY - kBallRadius <= kPaddleY + kPaddleHalfHeight) {
        SendUp(offset * kPi / 3.0f);
        PlayBounce(game.ballX);
        return;
    }
    if (game.ballY - kBallRadius > kHeight) {
        PlaySoundChannelOverlapped(kLose);
        --game.lives;
        Say("lives: %d", game.lives);
        game.phase = game.lives > 0 ? Phase::Serve : Phase::Over;
        // A lost ball rumbles an Xbox-style pad for a moment (SetPadVibration
        // answers E_FAIL without one, and stops by itself while the game is
        // not in front).
        if (SUCCEEDED(SetPadVibration(0, 0.8f, 0.4f))) {
            game.rumble = 0.3f;
        }
        if (game.phase == Phase::Over) {
            Say("game over");
            // The player may type a name for the score: typed text is
            // gathered from now on (GetTypedText), until Enter.
            game.naming = true;
            game.name[0] = '\0';
            SetTextInput(TRUE);
        }
        return;
    }
    if (HitBrick() && game.bricksLeft == 0) {
        game.phase = Phase::Cleared;
        Say("cleared");
    }
}

// ---- The high score's name ---------------------------------------------------

// Takes this frame's typed text into the name (whole characters only: a
// UTF-8 character that does not fit is left out); Backspace takes the last
// character off, Enter keeps the name.
void TypeName() {
    const char *typed = GetTypedText();
    size_t length = std::strlen(game.name);
    for (const char *c = typed; *c != '\0';) {
        size_t size = 1;
        while ((c[size] & 0xC0) == 0x80) {
            ++size; // the continuation bytes of one character
        }
        if (length + size < sizeof game.name) {
            std::memcpy(game.name + length, c, size);
            length += size;
            game.name[length] = '\0';
        }
        c += size;
    }
    if (IsKeyPressed(DIK_BACK) && length > 0) {
        do {
            --length;
        } while (length > 0 && (game.name[length] & 0xC0) == 0x80);
        game.name[length] = '\0';
    }
    if (IsKeyPressed(DIK_RETURN)) {
        SetTextInput(FALSE);
        game.naming = false;
        Say("high score: %s %d", game.name[0] != '\0' ? game.name : "-", game.score);
    }
}

// ---- Once a frame: input and movement ---------------------------------------

void Update(float seconds) {
    // Escape is the game's (SetEscapeQuits(FALSE) in main): it pauses and
    // resumes. Losing the focus or being minimised pauses too; coming back
    // does not resume by itself, the player does.
    if (IsKeyPressed(DIK_ESCAPE)) {
        SetPaused(!game.paused);
    }
    const bool focused = IsWindowFocused() != 0;
    if ((wasFocused && !focused) || IsWindowMinimized()) {
        SetPaused(true);
    }
    wasFocused = focused;
    if (game.naming) {
        TypeName();
    } else if (IsKeyPressed(DIK_Q)) {
        QuitFramework(); // the frame loop ends at the next UpdateFramework
    }
    if (game.rumble > 0.0f) {
        game.rumble -= seconds;
        if (game.rumble <= 0.0f) {
            SetPadVibration(0, 0.0f, 0.0f);
        }
    }
    // A controller can come and go while the game runs: a DirectInput one
    // or an Xbox-style pad.
    const int connected = IsJoystickConnected() || IsPadConnected(0);
    if (connected != wasConnected) {
        Say(connected ? "controller: connected" : "controller: none");
        wasConnected = connected;
    }
    const POINT cursor = GetCursorPosition();
    const bool cursorMoved = cursor.x != lastCursor.x || cursor.y != lastCursor.y;
    lastCursor = cursor;
    if (game.paused) {
        return;
    }

    // The paddle: the stick moves it as far as it is pushed (GetStickX, -1 to
    // 1, 0 near the centre and without a controller), the arrow keys at full
    // speed, and the mouse puts it under the cursor whenever the cursor moves.
    // GetKeyboardButtons, not GetButtons: the latter has the stick's
    // directions too, which GetStickX already counts.
    // A pad's triggers push too, left and right, as far as they are pulled.
    float push = GetStickX() + GetPadTrigger(0, 1) - GetPadTrigger(0, 0);
    const DWORD keys = GetKeyboardButtons();
    if (keys & BUTTON_LEFT) {
        push -= 1.0f;
    }
    if (keys & BUTTON_RIGHT) {
        push += 1.0f;
    }
    game.paddleX += push * kPaddleSpeed * seconds;
    if (cursorMoved) {
        game.paddleX = static_cast<float>(cursor.x);
    }
    game.paddleX = std::fmax(kPaddleHalfWidth, std::fmin(game.paddleX, kWidth - kPaddleHalfWidth));

    // Launching is an edge, not a level: a click, Space, or Z and the
    // controller's first button (BUTTON_0) pressed this frame, so holding it
    // down does not launch again and again.
    const bool launch =
        IsMouseButtonPressed(0) || IsKeyPressed(DIK_SPACE) || (GetButtonsPressed() & BUTTON_0) != 0;
    switch (game.phase) {
    case Phase::Serve: // the ball rides on the paddle
        game.ballX = game.paddleX;
        game.ballY = kPaddleY - kPaddleHalfHeight - kBallRadius;
        if (launch) {
            SendUp(-0.3f);
            game.phase = Phase::Play;
            Say("ball: launched");
        }
        break;
    case Phase::Play: {
        // At most 4 pixels a step: a slow frame is cut into several steps.
        const int steps = 1 + static_cast<int>(kBallSpeed * seconds / 4.0f);
        for (int i = 0; i < steps && game.phase == Phase::Play; ++i) {
            StepBall(seconds / steps);
        }
        break;
    }
    case Phase::Over:
    case Phase::Cleared:
        if (launch && !game.naming) {
            NewGame();
        }
        break;
    }
}

// ---- Once a frame: drawing --------------------------------------------------

// Draws `text` centred across the window, its top at `y`: MeasureString
// gives the size DrawString will lay it out in.
void DrawCentered(int font, float y, const char *text) {
    SIZE size = {};
    if (SUCCEEDED(MeasureString(font, text, &size))) {
        DrawString(font, (kWidth - size.cx) / 2.0f, y, kTextColor, 2, text);
    }
}

// DrawString takes text in the system's code page; the name is UTF-8.
void DrawName(float y) {
    WCHAR wide[64];
    char text[160] = "Name: ";
    if (MultiByteToWideChar(CP_UTF8, 0, game.name, -1, wide, 64) > 0) {
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text + 6, sizeof text - 8, nullptr, nullptr);
    }
    std::strcat(text, "_");
    DrawCentered(kFont, y, text);
}

// A disc as a fan of 16 triangles, batched with the rectangles.
void AddDisc(float cx, float cy, float radius, D3DCOLOR color) {
    constexpr int kSides = 16;
    constexpr float kStep = 2.0f * 3.14159265f / kSides;
    for (int i = 0; i < kSides; ++i) {
        AddTriangle(cx, cy, cx + radius * std::cos(i * kStep), cy + radius * std::sin(i * kStep),
                    cx + radius * std::cos((i + 1) * kStep),
                    cy + radius * std::sin((i + 1) * kStep), color);
    }
}

void Draw() {
    if (ClearAndBeginScene(kBackground, FALSE) == 0) {
        // Rectangles and triangles are collected with AddQuad... and
        // AddTriangle and drawn together by FlushQuads: no texture, plain
        // colours.
        SetTexture(nullptr);
        SetRenderStateFlags(0);
        for (int row = 0; row < kRows; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                if (game.brick[row][column]) {
                    const float left = kWallLeft + column * kBrickPitchX;
                    const float top = kWallTop + row * kBrickPitchY;
                    AddQuad(left, top, left + kBrickWidth, top + kBrickHeight, kRowColors[row]);
                }
            }
        }
        // The paddle: a rectangle with round ends, the same width overall.
        const float straight = kPaddleHalfWidth - kPaddleHalfHeight;
        AddQuadCentered(game.paddleX, kPaddleY, straight, kPaddleHalfHeight, kPaddleColor);
        AddDisc(game.paddleX - straight, kPaddleY, kPaddleHalfHeight, kPaddleColor);
        AddDisc(game.paddleX + straight, kPaddleY, kPaddleHalfHeight, kPaddleColor);
        if (game.phase == Phase::Serve || game.phase == Phase::Play) {
            AddDisc(game.ballX, game.ballY, kBallRadius, kBallColor);
        }
        FlushQuads();

        // The score line: score on the left, lives right-aligned (measured),
        // the controller in the middle while one is plugged in.
        char text[64];
        std::snprintf(text, sizeof text, "Score %d", game.score);
        DrawString(kFont, 16, 8, kTextColor, 2, text);
        std::snprintf(text, sizeof text, "Lives %d", game.lives);
        SIZE size = {};
        if (SUCCEEDED(MeasureString(kFont, text, &size))) {
            DrawString(kFont, kWidth - 16.0f - size.cx, 8, kTextColor, 2, text);
        }
        if (IsJoystickConnected() || IsPadConnected(0)) {
            DrawCentered(kFont, 8, "controller");
        }

        if (game.paused) {
            // A panel over the middle of the field, then its two lines.
            SetTexture(nullptr);
            SetRenderStateFlags(0);
            AddQuadCentered(kWidth / 2.0f, 290, 200, 80, kPanelColor);
            FlushQuads();
            DrawCentered(kBigFont, 230, "PAUSED");
            DrawCentered(kFont, 310, "Esc resumes, Q quits");
        } else if (game.phase == Phase::Serve) {
            DrawCentered(kFont, 300, "Click, Space or Z to launch");
        } else if (game.phase == Phase::Over || game.phase == Phase::Cleared) {
            DrawCentered(kBigFont, 220, game.phase == Phase::Over ? "GAME OVER" : "WELL DONE");
            if (game.naming) {
                DrawName(300);
                DrawCentered(kFont, 340, "Type your name, Enter keeps it");
            } else {
                DrawCentered(kFont, 300, "Click, Space or Z to play again");
            }
        }
        EndScene();
    }
    Flip(0xFFFFFFFF); // shows the frame; waits for the display's refresh
}

} // namespace

int main(int, char **) {
    // A controller is welcome but not needed: without this call fw refuses
    // to start on a machine without one. It must come before InitFramework.
    SetJoystickRequired(FALSE);
    if (InitFramework("fw bricks", kWidth, kHeight, 1) != 0) {
        return 0; // fw has shown what failed in a box
    }
    SetEscapeQuits(FALSE); // Escape pauses instead of quitting
    SetFrameRateLimit(60); // no faster than a display's refresh, evenly spaced

    CreateFontData(kFont, "Arial", 22); // another face stands in if Arial is missing
    CreateFontData(kBigFont, "Arial", 56);
    const char *files[] = {"hit.ogg", "bounce.ogg", "lose.ogg"};
    for (unsigned channel = 0; channel < 3; ++channel) {
        if (FAILED(LoadSoundChannel(channel, files[channel]))) {
            Say("cannot open %s", files[channel]);
        }
    }
    // Volume in hundredths of a decibel below the file's level: the bounces
    // stay in the background.
    SetSoundChannelVolume(kBounce, -900);
    SetSoundChannelVolume(kLose, -300);

    NewGame();
    lastCursor = GetCursorPosition(); // the paddle moves once the mouse does
    // GetFrameTime is the last frame's length in seconds, at most
    // FRAME_TIME_MAX (0.1 s), so a stall does not throw the ball across the
    // field.
    while (UpdateFramework()) {
        Update(GetFrameTime());
        Draw();
    }
    ExitFramework();
    return 0;
}
