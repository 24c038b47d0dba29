#include "SoundCounter.h"

#include "scene/SoundStuff.h"

#include <algorithm>
#include <cstdint>

namespace {

SoundCounter* current = nullptr;

// Sounds are 1-based indices into `loaded`, disguised as pointers.
int Index(void* sound) {
    return static_cast<int>(reinterpret_cast<uintptr_t>(sound)) - 1;
}
void* Load(const char* file) {
    if (std::find(current->missing.begin(), current->missing.end(), file) != current->missing.end())
        return nullptr;
    current->loaded.push_back(file);
    current->levels.push_back(-1.0f);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(current->loaded.size()));
}

const SoundBackend backend = {
    Load, [](void* sound, float level) { current->levels[Index(sound)] = level; },
    [](void* sound) { current->played.push_back(Index(sound)); }, [](void*) { current->stopped++; },
    [](void*) { current->released++; }};

} // namespace

SoundCounter::SoundCounter() {
    played.reserve(1 << 16); // so counting a clink never allocates
    current = this;
    CleanupSounds();
    SetSoundBackend(&backend);
}

SoundCounter::~SoundCounter() {
    CleanupSounds();
    SetSoundBackend(nullptr);
    current = nullptr;
}
