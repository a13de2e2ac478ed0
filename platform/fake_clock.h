#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace platform {

// A clock for tests: sleeping returns at once and moves the tick count on; every sleep is recorded.
class FakeClock : public IClock {
  public:
    void Sleep(uint32_t milliseconds) override;
    uint32_t TickCount() override;
    TimeOfDay Now() override;

    void Advance(uint32_t milliseconds);
    void SetTimeOfDay(TimeOfDay time);
    std::vector<uint32_t> Sleeps() const;

  private:
    mutable std::mutex mutex_;
    uint32_t ticks_ = 1000;
    TimeOfDay timeOfDay_{12, 0, 0};
    std::vector<uint32_t> sleeps_;
};

}  // namespace platform
