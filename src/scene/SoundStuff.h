#ifndef TUMBLIX_SCENE_SOUNDSTUFF_H
#define TUMBLIX_SCENE_SOUNDSTUFF_H

// The clinks: eight recordings, clink1.wav to clink8.wav in the resource
// folder, in one table shared by every scene of the process.
void SetupSounds(const char* path, short volume);
void PlayBottleSound();
void CleanupSounds();

// How recordings are loaded and played; the host connects its audio back end.
// Without one (or when load answers null) the slots stay empty and the
// clinks are silent, which is how the saver runs without a sound card.
struct SoundBackend {
    void* (*load)(const char* file);             // null when the file cannot be used
    void (*setVolume)(void* sound, float level); // level 1.0 is full volume
    void (*play)(void* sound);                   // starts playing, never blocks
    void (*stop)(void* sound);
    void (*release)(void* sound);
};
void SetSoundBackend(const SoundBackend* backend); // null disconnects

#endif
