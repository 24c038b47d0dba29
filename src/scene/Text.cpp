#include "scene/Text.h"

#include "scene/SSMain.h"
#include "scene/Settings.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstring>

float FontData[FONT_GLYPHS][2];

namespace {

time_t (*wallClock)() = nullptr;

struct tm LocalTime() {
    const time_t now = wallClock != nullptr ? wallClock() : time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr) {
        std::memset(&local, 0, sizeof local);
    }
    return local;
}

const char kHeading[] = "You can have a beer in...";
const char kPastTarget[] = "Now! Go forth and drink beer!";

// Fades an opacity in towards 0.9 or out to 0 at 0.3 per second; true when
// the line is to be drawn.
bool FadeIn(float& alpha, double frameTime) {
    if (double(alpha) >= 0.9) {
        alpha = 0.9f;
        return true;
    }
    alpha = float(alpha + 0.3 * frameTime);
    return alpha > 0.0f;
}

bool FadeOut(float& alpha, double frameTime) {
    if (alpha > 0.0f) {
        alpha = float(alpha + -0.3 * frameTime);
        return alpha > 0.0f;
    }
    alpha = 0.0f;
    return false;
}

void DrawLine(const char* text, float x, float y, float size, float alpha, unsigned int font) {
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    DrawString(text, size, alpha, font);
    glPopMatrix();
}

} // namespace

void SetWallClock(time_t (*now)()) {
    wallClock = now;
}

void SetupText() {
    for (int g = 0; g < FONT_GLYPHS; g++) {
        FontData[g][0] = float(g % 16) * cWidth;
        FontData[g][1] = float(g / 16) * cHeight;
    }
}

void DrawString(const char* text, float size, float alpha, unsigned int texture) {
    glColor4f(1, 1, 1, alpha);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, texture);

    const size_t n = text != nullptr ? std::strlen(text) : 0;
    const float span = float(n + 2) * size;
    glTranslatef(float(-(span * 0.75 * 0.5)), 0.0f, 0.0f);

    // Glyphs step by three quarters of their width, so neighbours overlap.
    const float advance = 0.75f * size;
    for (size_t k = 0; k < n; k++) {
        glTranslatef(advance, 0.0f, 0.0f);
        const int g = int(static_cast<unsigned char>(text[k])) - 32;
        if (g <= 0 || g >= FONT_GLYPHS) {
            continue; // a space, or a character the font has no glyph for
        }
        const float left = FontData[g][0];
        const float right = left + cWidth;
        const float top = 1.0f - FontData[g][1];
        const float bottom = top - cHeight;
        glBegin(GL_QUADS);
        glTexCoord2f(right, top);
        glVertex3f(size, size / 2, 0.0f);
        glTexCoord2f(left, top);
        glVertex3f(0.0f, size / 2, 0.0f);
        glTexCoord2f(left, bottom);
        glVertex3f(0.0f, -size / 2, 0.0f);
        glTexCoord2f(right, bottom);
        glVertex3f(size, -size / 2, 0.0f);
        glEnd();
    }

    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

void Clock(char* out, bool twelveHour) {
    const struct tm now = LocalTime();
    int hour = now.tm_hour;
    char suffix[] = "AM";
    if (twelveHour && hour > 12) {
        hour -= 12;
        suffix[0] = 'P';
    }
    const char separator = now.tm_sec % 2 != 0 ? ':' : ' ';
    std::snprintf(out, TEXT_LINE_SIZE, "%d%c%02d%c%02d%s", hour, separator, now.tm_min, separator,
                  now.tm_sec, twelveHour ? suffix : "");
}

void CountDown(char* out, int hour, int minute, int second) {
    const struct tm now = LocalTime();
    // Wide enough that no stored target can overflow the subtraction.
    long long h = (long long)hour - now.tm_hour;
    long long m = (long long)minute - now.tm_min;
    long long s = (long long)second - now.tm_sec;
    if (s < 0) {
        s += 60;
        m -= 1;
    }
    if (m < 0) {
        m += 60;
        h -= 1;
    }
    if (h < 0) {
        std::snprintf(out, TEXT_LINE_SIZE, "%s", kPastTarget);
        return;
    }
    size_t used = 0;
    out[0] = '\0';
    auto append = [&](const char* format, long long value) {
        if (used < TEXT_LINE_SIZE) {
            const int wrote = std::snprintf(out + used, TEXT_LINE_SIZE - used, format, value);
            if (wrote > 0) {
                used += size_t(wrote);
            }
        }
    };
    if (h > 0) {
        append("%lld Hours,", h);
    }
    if (m > 0) {
        append("%lld Minutes,", m);
    }
    if (s > 0) {
        append("%lld Seconds.", s);
    }
    const size_t length = std::strlen(out);
    if (length > 0) {
        out[length - 1] = '.';
    }
}

void DrawUnderlayText(SSMAIN* scene, const SETTINGS* settings) {
    if (scene == nullptr || settings == nullptr) {
        return;
    }
    const double dt = scene->frameTime;
    const unsigned int font = scene->SceneTextureName(0);
    char text[TEXT_LINE_SIZE];

    if (settings->SHOWCLOCK) {
        const bool visible =
            scene->countdownPhase ? FadeOut(scene->clockAlpha, dt) : FadeIn(scene->clockAlpha, dt);
        if (visible) {
            Clock(text, settings->CLOCK12HRMODE);
            DrawLine(text, 512.0f, 384.0f, 100.0f, scene->clockAlpha, font);
        }
    }

    if (settings->SHOWCOUNTDOWN) {
        scene->countdownTimer = float(scene->countdownTimer - dt);
        if (scene->countdownTimer < 0.0f) {
            scene->countdownTimer = 45.0f;
            scene->countdownPhase = !scene->countdownPhase;
        }
        if (scene->countdownPhase) {
            FadeIn(scene->countdownAlpha, dt);
        } else {
            FadeOut(scene->countdownAlpha, dt);
        }
        // Both lines are drawn at any opacity; at 0 or below they blend away.
        DrawLine(kHeading, 512.0f, 404.0f, 40.0f, scene->countdownAlpha, font);
        CountDown(text, settings->thr, settings->tmin, 0);
        DrawLine(text, 512.0f, 364.0f, 40.0f, scene->countdownAlpha, font);
    }
}
