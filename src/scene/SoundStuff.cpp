#include "scene/SoundStuff.h"

#include <cstdlib>
#include <string>

namespace {

const int kClinks = 8;
void* clinks[kClinks] = {};
const SoundBackend* backend = nullptr;

} // namespace

void SetSoundBackend(const SoundBackend* b) {
    backend = b;
}

void SetupSounds(const char* path, short volume) {
    const float level = static_cast<float>(volume / 255.0);
    if (backend == nullptr) {
        return;
    }
    for (int n = 1; n <= kClinks; n++) {
        if (clinks[n - 1] != nullptr) {
            continue;
        }
        const std::string file =
            std::string(path != nullptr ? path : "") + "clink" + std::to_string(n) + ".wav";
        void* sound = backend->load(file.c_str());
        if (sound != nullptr) {
            backend->setVolume(sound, level);
            clinks[n - 1] = sound;
        }
    }
}

void PlayBottleSound() {
    // The draw happens whether or not anything can play, so a seeded scene
    // moves the same with and without a sound card.
    const int i = std::rand() % kClinks;
    if (clinks[i] != nullptr && backend != nullptr) {
        backend->play(clinks[i]);
    }
}

void CleanupSounds() {
    for (void*& sound : clinks) {
        if (sound != nullptr && backend != nullptr) {
            backend->stop(sound);
            backend->release(sound);
        }
        sound = nullptr;
    }
}
