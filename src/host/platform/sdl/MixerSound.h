#ifndef TUMBLIX_HOST_PLATFORM_SDL_MIXERSOUND_H
#define TUMBLIX_HOST_PLATFORM_SDL_MIXERSOUND_H

// The clinks' audio back end over SDL_mixer. Open tries to open an audio
// device and, when it can, connects the engine's sound table to it; without
// a device it returns false and the saver stays silent.
class MixerSound {
  public:
    static bool Open();
    static void Close(); // releases every clink first
    static bool IsOpen();
};

#endif
