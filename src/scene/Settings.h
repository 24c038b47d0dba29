#ifndef TUMBLIX_SCENE_SETTINGS_H
#define TUMBLIX_SCENE_SETTINGS_H

#include "maths/NiftyMaths.h"

#include <cstdint>

enum { SETTINGS_PATH_SIZE = 16384 };

// The user's choices as the host view copied them from the preference store.
// The engine only reads it, except that the bottle manager consumes the
// selection text.
struct SETTINGS {
    bool PLAYSOUND = false;
    int64_t NUM_BOTTLES = 0;
    int64_t LBOTTLESIZE = 0;
    bool GOODSHINE = false;
    bool DRUNKENBG = false;
    bool SHOWCLOCK = false;
    bool CLOCK12HRMODE = false;
    bool SHOWCOUNTDOWN = false;
    int32_t thr = 0;
    int32_t tmin = 0;
    VECTOR3D BGCol;
    char BottlePath[SETTINGS_PATH_SIZE] = {};
    char BottlePath2[SETTINGS_PATH_SIZE] = {};
    // The switched-off bottle types: "name#name#...##", NUL-terminated.
    // Allocated with new[]; null once the bottle manager has consumed it.
    char* bottleSelection = nullptr;
    int64_t selectionSize = 0; // bytes in bottleSelection, terminator included
    int32_t BGTYPE = 0;
    char BGPath[SETTINGS_PATH_SIZE] = {};
    int32_t BGRES = 0;
    int16_t VOLUME = 0;
};

// Background kinds of BGTYPE.
enum { BG_CAPTURE = 0, BG_DESKTOP_PICTURE = 1, BG_FOLDER_PICTURE = 2, BG_COLOUR = 3 };

#endif
