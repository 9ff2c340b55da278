#include <gtest/gtest.h>

#include "app/LocalTime.h"
#include "app/PollTimer.h"
#include "app/WaitWithMessages.h"
#include "fakes/FakePlatform.h"

namespace tovela {
namespace {

class PollTimerTest : public ::testing::Test {
protected:
    testing::FakeTimers timers;
    int expiries = 0;
    PollTimer timer{timers, [this] { ++expiries; }};
};

TEST_F(PollTimerTest, StartsFromOneSecondWithItsIdRestartReplacesTheExpiryStopKillsOnce) {
    timer.Start(0);
    timer.Start(-3);
    EXPECT_EQ(timers.setCalls, 0);
    EXPECT_FALSE(timer.bTimerActivo());

    timer.Start(300);
    timer.Start(15);
    ASSERT_EQ(timers.active.size(), 1u);
    EXPECT_EQ(timers.active.at(1684).milliseconds, 15000u);
    EXPECT_TRUE(timer.bTimerActivo());
    timers.Fire(1684);
    EXPECT_EQ(expiries, 1);

    const int kills = timers.killCalls;
    timer.Stop();
    timer.Stop();
    EXPECT_EQ(timers.killCalls, kills + 1);
    EXPECT_TRUE(timers.active.empty());
}

TEST_F(PollTimerTest, RefusedTimerFallsBackToIdOneWithoutLeavingTwoRunning) {
    timers.refuse = 3;
    timer.Start(10);
    EXPECT_EQ(timer.lTimerId(), 1u);
    EXPECT_EQ(timers.setCalls, 4);
    timer.Start(20);  // now 1684 is granted: the timer under id 1 must go
    EXPECT_EQ(timer.lTimerId(), 1684u);
    ASSERT_EQ(timers.active.size(), 1u);
    EXPECT_EQ(timers.active.count(1684), 1u);
}

TEST(WaitWithMessagesTest, ReturnsTheHandleOrTheTimeoutAndPumpsMessagesForInput) {
    testing::FakeMessageLoop loop;
    testing::FakeClock clock;
    const std::uintptr_t handles[] = {7, 8};

    loop.waitResults = {2, 2, 1};  // input, input, then the second handle
    EXPECT_EQ(WaitWithMessages(loop, clock, kInfinite, handles), 1u);
    EXPECT_EQ(loop.doEventsCalls, 3);

    // A zero time-out returns at once when nothing is signalled.
    loop.waitResults = {};
    EXPECT_EQ(WaitWithMessages(loop, clock, 0, handles), kWaitTimeout);
}

TEST(WaitWithMessagesTest, DeadlineSurvivesTheTickCounterWrapping) {
    testing::FakeMessageLoop loop;
    testing::FakeClock clock;
    clock.tick = 0xFFFFFF00u;
    const std::uintptr_t handle[] = {7};
    // Input keeps arriving while the clock moves past the wrap and then past the deadline.
    struct TickingLoop : testing::FakeMessageLoop {
        testing::FakeClock* clock;
        std::uint32_t MsgWaitForMultipleObjects(std::span<const std::uintptr_t>,
                                                std::uint32_t) override {
            clock->tick += 0x80;
            return 1;
        }
    } ticking;
    ticking.clock = &clock;
    EXPECT_EQ(WaitWithMessages(ticking, clock, 0x200, handle), kWaitTimeout);
    EXPECT_EQ(clock.tick, 0xFFFFFF00u + 0x280u);
}

TEST(LocalTimeTest, CalendarRoundTripAndBias) {
    for (std::int64_t seconds : {0LL, 951782400LL, 1609459199LL, 4102444800LL, -86401LL}) {
        SCOPED_TRACE(seconds);
        EXPECT_EQ(ToLocalSeconds(FromLocalSeconds(seconds)), seconds);
    }
    EXPECT_EQ(DateTimeText(FromLocalSeconds(951782400)), "2000/02/29 00:00:00");

    testing::FakeClock clock;
    testing::FakeTimeZone tokyo;
    tokyo.bias = -540;
    clock.utcMs = 1609459200000;  // 2021-01-01 00:00 UTC
    EXPECT_EQ(GetTimeZoneBias(clock, tokyo), -540);
    EXPECT_EQ(DateTimeText(LocalNow(clock, tokyo)), "2021/01/01 09:00:00");
}

}  // namespace
}  // namespace tovela
