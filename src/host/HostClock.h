#ifndef TUMBLIX_HOST_HOSTCLOCK_H
#define TUMBLIX_HOST_HOSTCLOCK_H

#include <ctime>

// The host's time: monotonic seconds for frame pacing, wall-clock seconds
// for the random seed and the clock text. Headless runs switch to a
// simulated clock that moves only when told to, so their frames repeat.
class HostClock {
  public:
    static double Now();          // seconds, for differences only
    static time_t WallSeconds();  // whole seconds since the epoch
    static void UseSimulated(time_t wallStart);
    static void UseSystem();
    static void Advance(double seconds); // simulated clock only
    static bool IsSimulated();
};

#endif
