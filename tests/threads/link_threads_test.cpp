// The connector and reader threads over the scripted link platform, natively (and under
// ThreadSanitizer in the tsan tree). The script is changed only while holding LinkLock, as the
// link client is used. The connector runs from the first test to the end of the program, as it
// does in the gauge, so the tests run in order on one link.
#include "app/shared.h"
#include "link/link_threads.h"
#include "link/sim_link.h"
#include "platform/threads.h"
#include "tests/link/fake_link_platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

template <typename Done>
bool WaitFor(Done done, int deadlineMs = 20000)
{
    Clock::time_point end = Clock::now() + std::chrono::milliseconds(deadlineMs);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Runs f holding the link's lock.
template <typename F>
auto Locked(F f) -> decltype(f())
{
    EnterPlatformLock(LinkLock);
    struct Leave {
        ~Leave() { LeavePlatformLock(LinkLock); }
    } leave;
    return f();
}

void Serve(int32_t raw, uint8_t lights)
{
    std::memcpy(&FakeLink.server.items[VerticalSpeedOffset], &raw, 4);
    FakeLink.server.items[LightsOffset] = lights;
}

// What the main loop does with the readers, for a while.
void FollowLinkFor(int ms)
{
    Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (LinkReadings.linkUp.load())
            EnsureReaderThread();
        else
            StopReaderThread();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

class LinkThreads : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        FakeLinkReset();
        FakeLink.serverWindow = 0;
        FakeLink.fallbackWindow = 0;
        Serve(0, 0);
    }
};

TEST_F(LinkThreads, WithoutServerOneOpenAttemptASecondAndNoReader)
{
    EXPECT_EQ(0, LinkReadings.rawVerticalSpeed.load());
    EXPECT_EQ(0, LinkReadings.lights.load());
    EXPECT_FALSE(LinkReadings.linkUp.load());
    Clock::time_point start = Clock::now();
    StartLink();
    FollowLinkFor(3500);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    uint32_t attempts = Locked([] { return FakeLink.findWindowCalls; }) / 2; // two classes each
    EXPECT_GE(attempts, static_cast<uint32_t>(seconds) - 0);
    EXPECT_LE(attempts, static_cast<uint32_t>(seconds) + 2);
    EXPECT_FALSE(LinkReadings.linkUp.load());
    EXPECT_FALSE(ReaderThreadExists());
    EXPECT_EQ(0u, Locked([] { return FakeLink.sendCalls; }));
    EXPECT_TRUE(StartConnectorThread()); // already running: nothing more
}

TEST_F(LinkThreads, ServerAppearsAndTheReadingsFollowIt)
{
    Locked([] {
        FakeLink.serverWindow = 0x1234;
        Serve(-2600, 3);
        return 0;
    });
    ASSERT_TRUE(WaitFor([] { return LinkReadings.linkUp.load(); }, 3000));
    EnsureReaderThread();
    ASSERT_TRUE(WaitFor([] { return LinkReadings.rawVerticalSpeed.load() == -2600; }));
    EXPECT_EQ(3, LinkReadings.lights.load());
    // Each exchange: a read of 0x02C8 (4 bytes), one of 0x0280 (1 byte), the end marker.
    std::vector<uint8_t> area = Locked([] { return FakeLink.sentArea; });
    ASSERT_GE(area.size(), 41u);
    uint32_t words[8];
    std::memcpy(words, area.data(), 12);
    EXPECT_EQ(LinkRecordRead, words[0]);
    EXPECT_EQ(VerticalSpeedOffset, words[1]);
    EXPECT_EQ(4u, words[2]);
    std::memcpy(words, area.data() + 20, 12);
    EXPECT_EQ(LinkRecordRead, words[0]);
    EXPECT_EQ(LightsOffset, words[1]);
    EXPECT_EQ(1u, words[2]);
    std::memcpy(words, area.data() + 37, 4);
    EXPECT_EQ(LinkRecordEnd, words[0]);

    Locked([] { Serve(1302, 0); return 0; });
    EXPECT_TRUE(WaitFor([] { return LinkReadings.rawVerticalSpeed.load() == 1302; }));
    EXPECT_TRUE(WaitFor([] { return LinkReadings.lights.load() == 0; }));
}

TEST_F(LinkThreads, EnsuringTwiceRunsOneReaderAndStopEndsIt)
{
    ASSERT_TRUE(LinkReadings.linkUp.load());
    EnsureReaderThread();
    EnsureReaderThread();
    EXPECT_TRUE(ReaderThreadExists());
    StopReaderThread();
    EXPECT_FALSE(ReaderThreadExists());
    // Nothing exchanges any more: no second reader was left behind.
    uint32_t sends = Locked([] { return FakeLink.sendCalls; });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(sends, Locked([] { return FakeLink.sendCalls; }));
    StopReaderThread(); // none runs: returns at once
    EXPECT_FALSE(ReaderThreadExists());
}

TEST_F(LinkThreads, FailedExchangeClosesTheLinkInOneStretchAndKeepsTheReadings)
{
    Locked([] { Serve(5000, 1); return 0; });
    EnsureReaderThread();
    ASSERT_TRUE(WaitFor([] { return LinkReadings.rawVerticalSpeed.load() == 5000; }));
    Locked([] {
        FakeLink.failingSends = UINT32_MAX;
        FakeLink.sendError = true;
        return 0;
    });
    // Whenever the lock is free, linkUp says whether the link is open.
    bool consistent = true;
    ASSERT_TRUE(WaitFor([&] {
        return Locked([&] {
            consistent = consistent && LinkReadings.linkUp.load() == SimLinkInspect().isOpen;
            return !LinkReadings.linkUp.load();
        });
    }));
    EXPECT_TRUE(consistent);
    StopReaderThread();
    EXPECT_EQ(5000, LinkReadings.rawVerticalSpeed.load());
    EXPECT_EQ(1, LinkReadings.lights.load());
    // The connector keeps trying, and brings the link back once the server answers again.
    uint32_t before = Locked([] { return FakeLink.findWindowCalls; });
    EXPECT_TRUE(WaitFor([&] { return Locked([] { return FakeLink.findWindowCalls; }) > before; }, 3000));
    Locked([] {
        FakeLink.failingSends = 0;
        FakeLink.sendError = false;
        return 0;
    });
    EXPECT_TRUE(WaitFor([] { return LinkReadings.linkUp.load(); }, 3000));
    EXPECT_TRUE(Locked([] { return SimLinkInspect().isOpen; }));
}

int32_t SlowExchanges = 0;

void SlowServer(uint8_t*, uint32_t)
{
    ++SlowExchanges;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

TEST_F(LinkThreads, StopDuringAnExchangeLetsItFinishAndFreesTheLock)
{
    ASSERT_TRUE(WaitFor([] { return LinkReadings.linkUp.load(); }, 3000));
    Locked([] {
        FakeLink.tamper = SlowServer;
        Serve(-777, 0);
        SlowExchanges = 0;
        return 0;
    });
    EnsureReaderThread();
    // Stop while the reader is inside an exchange (the lock is held for 150 ms at a time).
    ASSERT_TRUE(WaitFor([] { return Locked([] { return SlowExchanges; }) >= 1; }));
    StopReaderThread();
    EXPECT_FALSE(ReaderThreadExists());
    // It stored what its last exchange brought and let go of the lock.
    EXPECT_EQ(-777, LinkReadings.rawVerticalSpeed.load());
    int32_t exchanges = Locked([] { return SlowExchanges; });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(exchanges, Locked([] { return SlowExchanges; }));
    EXPECT_TRUE(LinkReadings.linkUp.load());

    // A fresh reader picks up where it left off.
    Locked([] {
        FakeLink.tamper = nullptr;
        Serve(42, 0);
        return 0;
    });
    EnsureReaderThread();
    EXPECT_TRUE(WaitFor([] { return LinkReadings.rawVerticalSpeed.load() == 42; }));
    StopReaderThread();
}

} // namespace
