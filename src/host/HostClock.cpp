#include "host/HostClock.h"

#include <chrono>
#include <cmath>

namespace {
bool simulated = false;
double simulatedNow = 0.0;
time_t simulatedWallStart = 0;
} // namespace

double HostClock::Now() {
    if (simulated) {
        return simulatedNow;
    }
    const auto t = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double>(t).count();
}

time_t HostClock::WallSeconds() {
    if (simulated) {
        return simulatedWallStart + static_cast<time_t>(std::floor(simulatedNow));
    }
    return std::time(nullptr);
}

void HostClock::UseSimulated(time_t wallStart) {
    simulated = true;
    simulatedNow = 0.0;
    simulatedWallStart = wallStart;
}

void HostClock::UseSystem() { simulated = false; }

void HostClock::Advance(double seconds) { simulatedNow += seconds; }

bool HostClock::IsSimulated() { return simulated; }
