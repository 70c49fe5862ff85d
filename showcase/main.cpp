// The fw showcase: the framework services the demo leaves out, seen and
// heard together (showcase.h tells the scene). Keys (and controller): arrows
// (stick) move the centre, Z and X (buttons 0 and 1) burst sparks with a
// sound, C (button 2) switches the glow, A (button 3) the trails, S (button
// 4) stops and resumes the sound, Escape quits.
#include "showcase.h"

#include <fw/app/framework.h>

int main(int, char **) {
    if (InitFramework("fw showcase", kShowcaseWidth, kShowcaseHeight, 1) != 0) {
        return 0; // the failure has been shown and the framework shut down
    }
    StartShowcase();
    while (UpdateFramework()) {
        UpdateShowcase();
        DrawShowcase();
    }
    ExitFramework();
    return 0;
}
