#include "host/platform/sdl/MixerSound.h"

#include "host/platform/files/RegularFile.h"
#include "scene/SoundStuff.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <algorithm>
#include <cmath>

namespace {

bool opened = false;
bool startedAudio = false;

// A sound file is opened like any other file named by content: a FIFO or a
// device in its place is refused instead of blocking the saver.
void* Load(const char* file) {
    SDL_RWops* stream = OpenRegularFileStream(file);
    return stream != nullptr ? Mix_LoadWAV_RW(stream, 1) : nullptr;
}

void SetVolume(void* sound, float level) {
    const float clamped = std::max(0.0f, std::min(1.0f, level));
    Mix_VolumeChunk(static_cast<Mix_Chunk*>(sound),
                    static_cast<int>(std::lround(clamped * MIX_MAX_VOLUME)));
}

void Play(void* sound) {
    Mix_PlayChannel(-1, static_cast<Mix_Chunk*>(sound), 0);
}

void Stop(void* sound) {
    const int channels = Mix_AllocateChannels(-1);
    for (int c = 0; c < channels; c++) {
        if (Mix_Playing(c) && Mix_GetChunk(c) == sound) {
            Mix_HaltChannel(c);
        }
    }
}

void Release(void* sound) {
    Mix_FreeChunk(static_cast<Mix_Chunk*>(sound));
}

const SoundBackend backend = {Load, SetVolume, Play, Stop, Release};

} // namespace

bool MixerSound::Open() {
    if (opened) {
        return true;
    }
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return false;
        }
        startedAudio = true;
    }
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
        if (startedAudio) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            startedAudio = false;
        }
        return false;
    }
    Mix_AllocateChannels(16);
    SetSoundBackend(&backend);
    opened = true;
    return true;
}

void MixerSound::Close() {
    if (!opened) {
        return;
    }
    CleanupSounds();
    SetSoundBackend(nullptr);
    Mix_CloseAudio();
    if (startedAudio) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        startedAudio = false;
    }
    opened = false;
}

bool MixerSound::IsOpen() {
    return opened;
}
