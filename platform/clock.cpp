#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

namespace platform {

void SystemClock::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint32_t SystemClock::TickCount() {
    auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

TimeOfDay SystemClock::Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

namespace {

SystemClock systemClock;
std::atomic<IClock*> currentClock{&systemClock};

}  // namespace

IClock& Clock() {
    return *currentClock.load();
}

void SetClock(IClock* clock) {
    currentClock.store(clock ? clock : &systemClock);
}

ScopedClock::ScopedClock(IClock& clock) : previous_(&Clock()) {
    SetClock(&clock);
}

ScopedClock::~ScopedClock() {
    SetClock(previous_);
}

}  // namespace platform
