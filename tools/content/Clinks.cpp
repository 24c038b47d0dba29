// Clinks: struck glass, synthesised. A few inharmonic partials (the modes of
// a free bar, roughly), each a close pair that beats a little, with their own
// exponential decay, a short raised-cosine attack and a faded end.
#include "Content.h"
#include "Random.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

const double pi = 3.14159265358979323846;

struct Partial {
    double ratio, amplitude, decay; // decay: seconds to fall to 1/e
};

const Partial partials[] = {
    {1.00, 1.00, 0.16}, {2.76, 0.55, 0.09}, {5.40, 0.28, 0.05}, {8.93, 0.12, 0.03}};

// Distinct pitches, not a scale: two bottles meeting never sound like a tune.
const double fundamentals[8] = {1510, 1745, 1930, 2210, 2455, 2720, 3050, 3380};
const double lengths[8] = {0.55, 0.52, 0.50, 0.48, 0.46, 0.44, 0.42, 0.40};

const double peak = 0.63; // -4 dBFS
const double attack = 0.0015, fade = 0.02;

// The wave file is sized once and filled in place: growing an empty vector a
// few bytes at a time is both slower and what GCC's -O3 misreads as an
// overflow.
void PutU32(brew::Bytes* b, size_t* at, uint32_t v) {
    for (int i = 0; i < 4; i++) {
        (*b)[(*at)++] = uint8_t(v >> (8 * i));
    }
}
void PutU16(brew::Bytes* b, size_t* at, uint16_t v) {
    (*b)[(*at)++] = uint8_t(v);
    (*b)[(*at)++] = uint8_t(v >> 8);
}
void PutTag(brew::Bytes* b, size_t* at, const char* tag) {
    std::copy(tag, tag + 4, b->begin() + std::ptrdiff_t(*at));
    *at += 4;
}

} // namespace

brew::Bytes MakeClinkWave(int n) {
    if (n < 1 || n > 8) {
        throw std::invalid_argument("clinks are numbered 1 to 8");
    }
    const double f0 = fundamentals[n - 1];
    const size_t count = size_t(lengths[n - 1] * CLINK_SAMPLE_RATE);
    std::vector<double> wave(count, 0.0);
    Random random(0xc11c0000u + uint64_t(n));
    for (const Partial& p : partials) {
        const double beat = random.Range(0.8, 2.5);
        const double phase = random.Range(0, 2 * pi);
        for (double split : {-beat / 2, beat / 2}) {
            const double w = 2 * pi * (f0 * p.ratio + split) / CLINK_SAMPLE_RATE;
            for (size_t i = 0; i < count; i++) {
                const double t = double(i) / CLINK_SAMPLE_RATE;
                wave[i] += 0.5 * p.amplitude * std::exp(-t / p.decay) * std::sin(w * i + phase);
            }
        }
    }
    // The tick of the strike: a few milliseconds of decaying noise.
    const size_t tick = size_t(0.004 * CLINK_SAMPLE_RATE);
    for (size_t i = 0; i < tick && i < count; i++) {
        wave[i] += 0.25 * random.Range(-1, 1) * std::exp(-double(i) / (tick / 4.0));
    }
    for (size_t i = 0; i < count; i++) {
        const double t = double(i) / CLINK_SAMPLE_RATE;
        const double left = double(count - 1 - i) / CLINK_SAMPLE_RATE;
        double envelope = 1;
        if (t < attack) {
            envelope *= 0.5 - 0.5 * std::cos(pi * t / attack);
        }
        if (left < fade) {
            envelope *= 0.5 - 0.5 * std::cos(pi * left / fade);
        }
        wave[i] *= envelope;
    }
    double top = 0;
    for (double v : wave) {
        top = std::max(top, std::fabs(v));
    }
    const double gain = top > 0 ? peak * 32767 / top : 0;

    const size_t headerSize = 44;
    const uint32_t dataSize = uint32_t(count * 2);
    brew::Bytes out(headerSize + dataSize);
    size_t at = 0;
    PutTag(&out, &at, "RIFF");
    PutU32(&out, &at, 36 + dataSize);
    PutTag(&out, &at, "WAVE");
    PutTag(&out, &at, "fmt ");
    PutU32(&out, &at, 16);
    PutU16(&out, &at, 1); // PCM
    PutU16(&out, &at, 1); // mono
    PutU32(&out, &at, CLINK_SAMPLE_RATE);
    PutU32(&out, &at, CLINK_SAMPLE_RATE * 2);
    PutU16(&out, &at, 2);
    PutU16(&out, &at, 16);
    PutTag(&out, &at, "data");
    PutU32(&out, &at, dataSize);
    for (double v : wave) {
        PutU16(&out, &at, uint16_t(int16_t(std::lround(v * gain))));
    }
    return out;
}
