#include "GLFixture.h"
#include "SoundCounter.h"
#include "TempDir.h"
#include "host/platform/sdl/MixerSound.h"
#include "scene/SoundStuff.h"

#include <SDL_mixer.h>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

TEST(ClinkTable, LoadsEightFilesOnceAtTheSetVolumeAndFreesThem) {
    SoundCounter sounds;
    SetupSounds("/res/", 51);
    ASSERT_EQ(sounds.loaded.size(), 8u);
    for (int n = 1; n <= 8; n++) {
        EXPECT_EQ(sounds.loaded[n - 1], "/res/clink" + std::to_string(n) + ".wav");
        EXPECT_FLOAT_EQ(sounds.levels[n - 1], 0.2f);
    }
    SetupSounds("/other/", 255);
    EXPECT_EQ(sounds.loaded.size(), 8u) << "a filled table is left alone";
    CleanupSounds();
    CleanupSounds();
    EXPECT_EQ(sounds.stopped, 8);
    EXPECT_EQ(sounds.released, 8);
}

TEST(ClinkTable, PlaysTheSlotTheRandomDrawPicks) {
    SoundCounter sounds;
    sounds.missing = {"/res/clink3.wav"};
    SetupSounds("/res/", 255);
    ASSERT_EQ(sounds.loaded.size(), 7u);
    std::srand(11);
    std::vector<int> expected;
    for (int i = 0; i < 400; i++) {
        const int slot = std::rand() % 8;
        if (slot != 2)
            expected.push_back(slot < 2 ? slot : slot - 1); // clink3 never loaded
    }
    std::srand(11);
    for (int i = 0; i < 400; i++)
        PlayBottleSound();
    EXPECT_EQ(sounds.played, expected);

    // With nothing connected the draw still happens, so scenes move alike.
    SetSoundBackend(nullptr);
    std::srand(3);
    PlayBottleSound();
    const int next = std::rand();
    std::srand(3);
    std::rand();
    EXPECT_EQ(next, std::rand());
}

// Ten seconds of 8-bit mono silence: still playing when looked at.
void WriteWav(const std::string& path) {
    const uint32_t n = 80000,
                   header[] = {0x46464952, 36 + n, 0x45564157, 0x20746d66, 16, 0x00010001,
                               8000,       8000,   0x00080001, 0x61746164, n};
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(header), sizeof header);
    f << std::string(n, '\x80');
}

TEST(MixerSound, AClinkReachesTheMixerAtTheSetVolumeAndNoDeviceIsSilence) {
    UseHeadlessDrivers();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(MixerSound::Open());
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(MixerSound::Open()) << SDL_GetError();
    TempDir tmp;
    for (int n = 1; n <= 8; n++)
        WriteWav(tmp / ("clink" + std::to_string(n) + ".wav"));
    SetupSounds(tmp.slash().c_str(), 102);
    PlayBottleSound();
    ASSERT_EQ(Mix_Playing(-1), 1);
    Mix_Chunk* chunk = nullptr;
    for (int c = 0; c < Mix_AllocateChannels(-1); c++)
        if (Mix_Playing(c))
            chunk = Mix_GetChunk(c);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(Mix_VolumeChunk(chunk, -1), 51) << "102 of 255 is 51 of the mixer's 128";

    // A FIFO in a clink's place is passed over: opening it would wait for a
    // writer forever, past SIGTERM.
    CleanupSounds();
    const std::string fifo = tmp / "clink3.wav";
    ASSERT_TRUE(std::remove(fifo.c_str()) == 0 && mkfifo(fifo.c_str(), 0600) == 0);
    const pid_t child = fork();
    if (child == 0) {
        alarm(60); // a load that blocks ends here, with SIGALRM
        SetupSounds(tmp.slash().c_str(), 102);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the load blocked on the FIFO";
    MixerSound::Close();
}
