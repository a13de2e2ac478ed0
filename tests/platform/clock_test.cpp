#include "platform/clock.h"

#include <gtest/gtest.h>

#include "platform/fake_clock.h"

namespace {

TEST(ClockTest, ScopedFakeClockTakesEverySleepAndRestoresTheSystemClock) {
    platform::IClock* system = &platform::Clock();
    {
        platform::FakeClock fake;
        platform::ScopedClock scoped(fake);
        uint32_t before = platform::Clock().TickCount();
        platform::Clock().Sleep(5000);
        platform::Clock().Sleep(200);
        EXPECT_EQ(platform::Clock().TickCount() - before, 5200u);
        EXPECT_EQ(fake.Sleeps(), (std::vector<uint32_t>{5000, 200}));
    }
    EXPECT_EQ(&platform::Clock(), system);
}

}  // namespace
