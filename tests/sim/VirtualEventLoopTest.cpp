#include "sim/VirtualEventLoop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Timer.h"

namespace vigiltron {
namespace {

using std::chrono_literals::operator""ms;
using ::testing::ElementsAre;

TEST(VirtualEventLoopTest, TimersRunInDueOrderAndTiesInStartOrder) {
    VirtualEventLoop loop;
    std::vector<std::string> order;
    loop.StartTimer(100ms, [&] { order.push_back("a@" + std::to_string(loop.Elapsed().count())); });
    loop.StartTimer(30ms, [&] {
        order.push_back("b@" + std::to_string(loop.Elapsed().count()));
        // Due at 100 as well, but started after "a": runs after it.
        loop.StartTimer(70ms, [&] { order.push_back("c"); });
    });
    loop.StartTimer(100ms, [&] { order.push_back("d"); });
    loop.Post([&] { order.push_back("posted"); });
    loop.RunUntilIdle();
    EXPECT_THAT(order, ElementsAre("posted", "b@30", "a@100", "d", "c"));
    EXPECT_EQ(loop.Elapsed(), 100ms);
}

TEST(VirtualEventLoopTest, CancelledTimersNeverRunAndIdsAreNotReused) {
    VirtualEventLoop loop;
    std::vector<int> ran;
    const TimerId first = loop.StartTimer(10ms, [&] { ran.push_back(1); });
    TimerId second = 0;
    loop.StartTimer(5ms, [&] { loop.CancelTimer(second); });
    second = loop.StartTimer(10ms, [&] { ran.push_back(2); });
    loop.CancelTimer(first);
    loop.CancelTimer(first);   // twice is harmless
    loop.CancelTimer(999999);  // so is an unknown id
    const TimerId third = loop.StartTimer(10ms, [&] { ran.push_back(3); });
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
    loop.RunUntilIdle();
    EXPECT_THAT(ran, ElementsAre(3));
    EXPECT_FALSE(loop.HasPendingWork());
}

TEST(VirtualEventLoopTest, NestedWaitsRunOtherEventsAndEndOnConditionOrTimeout) {
    VirtualEventLoop loop;
    bool replied = false;
    std::vector<std::string> trace;
    loop.StartTimer(300ms, [&] { replied = true; });
    loop.StartTimer(200ms, [&] { trace.push_back("other device"); });
    loop.StartTimer(100ms, [&] {
        const bool got = loop.WaitUntil(2000ms, [&] { return replied; });
        trace.push_back("wait " + std::to_string(got) + " at " +
                        std::to_string(loop.Elapsed().count()));
        // Nothing more will come: this wait runs out and leaves the clock at its deadline.
        const bool none = loop.WaitUntil(500ms, [] { return false; });
        trace.push_back("timeout " + std::to_string(none) + " at " +
                        std::to_string(loop.Elapsed().count()));
    });
    loop.RunFor(5000ms);
    EXPECT_THAT(trace, ElementsAre("other device", "wait 1 at 300", "timeout 0 at 800"));
    EXPECT_EQ(loop.Elapsed(), 5000ms);
}

TEST(VirtualEventLoopTest, AWaitAlreadySatisfiedDoesNotRunAnything) {
    VirtualEventLoop loop;
    bool ran = false;
    loop.Post([&] { ran = true; });
    EXPECT_TRUE(loop.WaitUntil(1000ms, [] { return true; }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(loop.Elapsed(), 0ms);
}

TEST(VirtualEventLoopTest, ProcessPendingEventsRunsOnlyWhatIsDueNow) {
    VirtualEventLoop loop;
    int posted = 0;
    int later = 0;
    loop.StartTimer(1ms, [&] { ++later; });
    loop.Post([&] {
        ++posted;
        loop.Post([&] { ++posted; });  // waits for the next round
    });
    loop.ProcessPendingEvents();
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(later, 0);
    EXPECT_EQ(loop.Elapsed(), 0ms);
    loop.ProcessPendingEvents();
    EXPECT_EQ(posted, 2);
}

TEST(VirtualEventLoopTest, StopEndsTheOutermostRunAfterTheCurrentCallback) {
    VirtualEventLoop loop;
    int ran = 0;
    loop.StartTimer(10ms, [&] {
        ++ran;
        loop.Stop();
    });
    loop.StartTimer(20ms, [&] { ++ran; });
    loop.RunFor(1000ms);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(loop.Elapsed(), 10ms);
    loop.RunFor(1000ms);
    EXPECT_EQ(ran, 2);
}

TEST(VirtualClockTest, FollowsTheLoopAcrossMidnight) {
    VirtualEventLoop loop;
    VirtualClock clock(loop, {2026, 12, 31, 23, 59, 30, 0});
    loop.RunFor(45000ms);
    const LocalDateTime expected{2027, 1, 1, 0, 0, 15, 0};
    EXPECT_EQ(clock.Now(), expected);
}

TEST(TimerTest, RepeatsAtItsIntervalWithoutDrift) {
    VirtualEventLoop loop;
    Timer timer(loop);
    std::vector<long long> ticks;
    timer.SetCallback([&] {
        ticks.push_back(loop.Elapsed().count());
        loop.Pause(30ms);  // a slow callback does not push the next tick back
    });
    timer.SetInterval(100ms);
    EXPECT_TRUE(ticks.empty());
    timer.SetEnabled(true);
    loop.RunFor(350ms);
    EXPECT_THAT(ticks, ElementsAre(100, 200, 300));
}

TEST(TimerTest, SwitchingOffAndOnRestartsThePeriodFromNow) {
    VirtualEventLoop loop;
    Timer timer(loop);
    std::vector<long long> ticks;
    timer.SetCallback([&] { ticks.push_back(loop.Elapsed().count()); });
    timer.SetInterval(100ms);
    timer.SetEnabled(true);
    loop.RunFor(150ms);
    timer.SetEnabled(false);
    loop.RunFor(500ms);
    EXPECT_THAT(ticks, ElementsAre(100));
    timer.SetEnabled(true);  // at 650
    loop.RunFor(99ms);
    EXPECT_THAT(ticks, ElementsAre(100));
    loop.RunFor(1ms);
    EXPECT_THAT(ticks, ElementsAre(100, 750));
    // Enabling an enabled timer restarts it as well.
    loop.RunFor(50ms);
    timer.SetEnabled(true);
    loop.RunFor(100ms);
    EXPECT_THAT(ticks, ElementsAre(100, 750, 900));
}

TEST(TimerTest, IntervalChangesAndSelfDisablingFromTheCallback) {
    VirtualEventLoop loop;
    Timer timer(loop);
    std::vector<long long> ticks;
    timer.SetCallback([&] {
        ticks.push_back(loop.Elapsed().count());
        if (ticks.size() == 3) {
            timer.SetEnabled(false);
        }
    });
    timer.SetInterval(100ms);
    timer.SetEnabled(true);
    loop.RunFor(50ms);
    timer.SetInterval(200ms);  // restarts from now with the new period
    loop.RunFor(2000ms);
    EXPECT_THAT(ticks, ElementsAre(250, 450, 650));
    EXPECT_FALSE(timer.Enabled());

    // A zero interval keeps the timer idle even when enabled.
    timer.SetInterval(0ms);
    timer.SetEnabled(true);
    loop.RunFor(1000ms);
    EXPECT_EQ(ticks.size(), 3u);
    EXPECT_FALSE(loop.HasPendingWork());
}

TEST(TimerTest, DestroyingATimerCancelsItsNextTick) {
    VirtualEventLoop loop;
    int ticks = 0;
    {
        Timer timer(loop);
        timer.SetCallback([&] { ++ticks; });
        timer.SetInterval(100ms);
        timer.SetEnabled(true);
    }
    loop.RunFor(1000ms);
    EXPECT_EQ(ticks, 0);
    EXPECT_FALSE(loop.HasPendingWork());
}

}  // namespace
}  // namespace vigiltron

namespace vigiltron {
namespace {

TEST(VirtualEventLoopPendingTest, ProcessPendingEventsRunsOnlyWhatWasPendingOnEntry) {
    VirtualEventLoop loop;
    int runs = 0;
    std::function<void()> rearm = [&] {
        ++runs;
        loop.StartTimer(Milliseconds(0), rearm);  // a timer that keeps re-arming itself at once
    };
    loop.StartTimer(Milliseconds(0), rearm);
    loop.ProcessPendingEvents();
    EXPECT_EQ(runs, 1);
    loop.ProcessPendingEvents();
    EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace vigiltron
