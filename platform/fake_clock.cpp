#include "platform/fake_clock.h"

namespace platform {

void FakeClock::Sleep(uint32_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(milliseconds);
    ticks_ += milliseconds;
}

uint32_t FakeClock::TickCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ticks_;
}

TimeOfDay FakeClock::Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return timeOfDay_;
}

void FakeClock::Advance(uint32_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    ticks_ += milliseconds;
}

void FakeClock::SetTimeOfDay(TimeOfDay time) {
    std::lock_guard<std::mutex> lock(mutex_);
    timeOfDay_ = time;
}

std::vector<uint32_t> FakeClock::Sleeps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
}

}  // namespace platform
