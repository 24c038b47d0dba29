#include "GLFixture.h"
#include "SoundCounter.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "host/platform/MixerSound.h"
#include "scene/SoundStuff.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

TEST(ClinkTable, LoadsEightFilesIntoTheirSlotsOnce) {
    SoundCounter sounds;
    SetupSounds("/res/", 51);
    ASSERT_EQ(sounds.loaded.size(), 8u);
    for (int n = 1; n <= 8; n++)
        EXPECT_EQ(sounds.loaded[n - 1], "/res/clink" + std::to_string(n) + ".wav");
    for (float level : sounds.levels)
        EXPECT_FLOAT_EQ(level, 0.2f);

    // A filled table is left alone, volume included.
    SetupSounds("/other/", 255);
    EXPECT_EQ(sounds.loaded.size(), 8u);
    EXPECT_FLOAT_EQ(sounds.levels[0], 0.2f);

    CleanupSounds();
    EXPECT_EQ(sounds.stopped, 8);
    EXPECT_EQ(sounds.released, 8);
    CleanupSounds();
    EXPECT_EQ(sounds.released, 8) << "an empty table frees nothing";

    // Levels are passed on as they are, out of range included.
    SetupSounds("/res/", 300);
    EXPECT_FLOAT_EQ(sounds.levels[8], float(300 / 255.0));
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
    EXPECT_LT(sounds.played.size(), 400u) << "the missing clink is silence";

    // With nothing connected the draw still happens, so scenes move alike.
    SetSoundBackend(nullptr);
    std::srand(3);
    PlayBottleSound();
    const int next = std::rand();
    std::srand(3);
    std::rand();
    EXPECT_EQ(next, std::rand());
}

// The clinks through SDL_mixer to a real (if unheard) audio device.
namespace {

void WriteWav(const std::string& path) {
    const int rate = 22050, n = rate / 5;
    std::vector<int16_t> samples(n);
    for (int i = 0; i < n; i++)
        samples[i] = int16_t(12000 * std::sin(i * 2 * M_PI * 880 / rate) * (1.0 - double(i) / n));
    auto u32 = [](std::ofstream& f, uint32_t v) { f.write(reinterpret_cast<char*>(&v), 4); };
    auto u16 = [](std::ofstream& f, uint16_t v) { f.write(reinterpret_cast<char*>(&v), 2); };
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    u32(f, 36 + n * 2);
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);
    u16(f, 1);
    u32(f, rate);
    u32(f, rate * 2);
    u16(f, 2);
    u16(f, 16);
    f.write("data", 4);
    u32(f, n * 2);
    f.write(reinterpret_cast<const char*>(samples.data()), n * 2);
}

// What the mixer hands the device, seen from its post-mix hook on the audio
// thread: the loudest sample and the number of bytes since the last reset.
struct Tap {
    std::mutex m;
    std::condition_variable grown;
    size_t bytes = 0;
    int peak = 0;
    static void Hook(void* self, Uint8* stream, int len) {
        Tap& t = *static_cast<Tap*>(self);
        const std::lock_guard<std::mutex> lock(t.m);
        for (int i = 0; i + 1 < len; i += 2) {
            int16_t v;
            std::memcpy(&v, stream + i, 2);
            t.peak = std::max(t.peak, std::abs(int(v)));
        }
        t.bytes += size_t(len);
        t.grown.notify_all();
    }
    void Reset() {
        const std::lock_guard<std::mutex> lock(m);
        bytes = 0;
        peak = 0;
    }
    // The peak once `wanted` bytes have been mixed; -1 if the device stalls.
    int PeakAfter(size_t wanted) {
        std::unique_lock<std::mutex> lock(m);
        const bool done =
            grown.wait_for(lock, std::chrono::minutes(1), [&] { return bytes >= wanted; });
        return done ? peak : -1;
    }
};

// SDL's "disk" driver into /dev/null, writing as fast as the mixer fills.
class DiskAudioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseHeadlessDrivers();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
        for (int n = 1; n <= 8; n++)
            WriteWav(tmp / ("clink" + std::to_string(n) + ".wav"));
        ASSERT_TRUE(MixerSound::Open()) << SDL_GetError();
        Mix_SetPostMix(Tap::Hook, &tap);
    }
    void TearDown() override {
        Mix_SetPostMix(nullptr, nullptr);
        MixerSound::Close();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    static constexpr size_t kHalfSecond = 44100 * 4 / 2; // 44.1 kHz stereo
    TempDir tmp;
    Tap tap;
};

} // namespace

TEST_F(DiskAudioTest, AtVolumeZeroSilenceAtFullVolumeACollisionPutsAClinkIntoTheOutput) {
    SetupSounds(tmp.slash().c_str(), 0);
    for (int i = 0; i < 8; i++)
        PlayBottleSound();
    EXPECT_EQ(tap.PeakAfter(kHalfSecond), 0);
    CleanupSounds();
    SetupSounds(tmp.slash().c_str(), 255);
    tap.Reset();
    BOTTLEINFO type;
    type.radius = 1.0f;
    MAINCLASS manager;
    manager.bottles = new ONEBOTTLE[2];
    manager.numBottles = 2;
    for (int i = 0; i < 2; i++) {
        ONEBOTTLE& b = manager.bottles[i];
        b.info = &type;
        b.pos = VECTOR3D(float(i), 0, -100);
        b.top = VECTOR3D(5.0f * i, 5.0f * (1 - i), 0);
        b.bottom = VECTOR3D(-5.0f * i, -5.0f * (1 - i), 0);
    }
    manager.CheckCollisions();
    EXPECT_GT(tap.PeakAfter(kHalfSecond), 2000);
}

TEST(MixerSound, NoDeviceMeansSilenceNotFailure) {
    UseHeadlessDrivers();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(MixerSound::Open());
    SetupSounds("/res/", 255);
    PlayBottleSound();
    CleanupSounds();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}
