// The fw showcase scene: a field of a few thousand sparks, each a task of the
// task tree, swirls round a wandering centre (sine table, plane vectors) and
// is drawn in one quad batch with a cached, colour-keyed texture; flip mode
// with an afterimage colour gives the sparks trails, the blur pass a glow; two
// fonts draw the title and a status line with drop shadows; a streamed music
// channel loops and two static effects answer the buttons.
//
// The program starts the framework with a kShowcaseWidth x kShowcaseHeight
// window, calls StartShowcase once, then UpdateShowcase and DrawShowcase once
// per pass of the frame loop. StartShowcase reads "spark.png", "music.ogg",
// "chime.wav" and "pop.wav" from the working folder; what is missing is
// reported on standard output and left out. A line is printed for every
// change of a sound channel's state.
#pragma once

constexpr int kShowcaseWidth = 800;
constexpr int kShowcaseHeight = 600;
// The sound channel of the looping music stream.
constexpr unsigned kShowcaseMusicChannel = 0;

// Sets up the field, the fonts, the texture and the sound channels, and
// starts the music.
void StartShowcase();
// Reads the buttons, runs the field's tasks and follows the channels' states.
void UpdateShowcase();
// Draws the field, the glow and the text, then flips.
void DrawShowcase();
