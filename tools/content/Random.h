#ifndef TUMBLIX_CONTENT_RANDOM_H
#define TUMBLIX_CONTENT_RANDOM_H

#include <cstdint>

// A small fixed generator (xorshift64*), so generated art is the same on
// every build whatever the C library's rand() does.
class Random {
  public:
    explicit Random(uint64_t seed) : state(seed ? seed : 0x9e3779b97f4a7c15ull) {}
    uint32_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return uint32_t((state * 0x2545f4914f6cdd1dull) >> 32);
    }
    // Uniform in [lo, hi).
    double Range(double lo, double hi) { return lo + (hi - lo) * (Next() / 4294967296.0); }

  private:
    uint64_t state;
};

#endif
