#pragma once

#include <cstdint>

namespace platform {

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Every sleep, tick count and time of day goes through the current clock, so that a test can replace it
// and a five-second pause costs it nothing.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual void Sleep(uint32_t milliseconds) = 0;
    virtual uint32_t TickCount() = 0;  // milliseconds since some fixed moment, wrapping at 2^32
    virtual TimeOfDay Now() = 0;       // local time of day
};

class SystemClock : public IClock {
  public:
    void Sleep(uint32_t milliseconds) override;
    uint32_t TickCount() override;
    TimeOfDay Now() override;
};

IClock& Clock();

// Replaces the process-wide clock; nullptr restores the system clock. The caller keeps ownership.
void SetClock(IClock* clock);

// Installs itself for its lifetime, restoring the previous clock afterwards.
class ScopedClock {
  public:
    explicit ScopedClock(IClock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    IClock* previous_;
};

}  // namespace platform
