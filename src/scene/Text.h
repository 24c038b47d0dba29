#ifndef TUMBLIX_SCENE_TEXT_H
#define TUMBLIX_SCENE_TEXT_H

#include <ctime>

class SSMAIN;
struct SETTINGS;

// The bitmap font: 16 by 8 glyph cells in one texture, glyph g (character
// 32 + g) in column g % 16 and row g / 16, rows counted from the top.
enum { FONT_GLYPHS = 96 };
extern float FontData[FONT_GLYPHS][2]; // texture coordinates of each cell's corner
const float cWidth = 0.0625f;          // one cell across, in texture coordinates
const float cHeight = 0.125f;          // one cell down

// Every text buffer handed to Clock and CountDown holds this many bytes.
enum { TEXT_LINE_SIZE = 80 };

void SetupText();

// Draws text about centred on the current origin, in cells of size by size
// units, white at opacity alpha, from the font in texture. Leaves the
// modelview translated, blending off and the colour white.
void DrawString(const char* text, float size, float alpha, unsigned int texture);

// The local time, "21:05:07" or "9:05:07PM"; the separators blink, shown on
// odd seconds.
void Clock(char* out, bool twelveHour);

// The time left until hour:minute:second today ("1 Hours,29 Minutes,40
// Seconds."), or the closing line once it has passed.
void CountDown(char* out, int hour, int minute, int second);

// Where the clock texts read the time: time() unless a source is given
// (tests and headless runs, which keep a simulated clock). Null restores time().
void SetWallClock(time_t (*now)());

// The clock and countdown lines of the underlay, drawn in layout space with
// their fades advanced by the scene's frame time.
void DrawUnderlayText(SSMAIN* scene, const SETTINGS* settings);

#endif
