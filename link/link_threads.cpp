// The connector and reader threads. The reader is never ended from outside: it ends itself at
// the top of its cycle, where it holds no lock, when asked to.
#include "link/link_threads.h"

#include "app/shared.h"
#include "link/sim_link.h"
#include "platform/threads.h"

#include <atomic>

PlatformLock* LinkLock = nullptr;

static struct LinkThreadsState {
    PlatformThread* connector = nullptr;
    PlatformThread* reader = nullptr; // touched by the main thread only
    std::atomic<bool> stopRequested{false};
    // The reader's own destinations: written by the link client during the reader's exchange,
    // read by the reader alone afterwards.
    int32_t readVerticalSpeed = 0;
    uint8_t readLights = 0;
} threads;

static void ConnectorThread()
{
    for (;;) {
        EnterPlatformLock(LinkLock);
        if (!LinkReadings.linkUp.load()) {
            LinkResult result;
            LinkReadings.linkUp.store(SimLinkOpen(0, &result));
        }
        LeavePlatformLock(LinkLock);
        SleepMs(ConnectorIntervalMs);
    }
}

static void ReaderThread()
{
    for (;;) {
        if (threads.stopRequested.load())
            return;
        // Only this thread closes the link, so it cannot close between this test and the lock.
        if (LinkReadings.linkUp.load()) {
            EnterPlatformLock(LinkLock);
            LinkResult result;
            SimLinkQueueRead(VerticalSpeedOffset, 4, &threads.readVerticalSpeed, &result);
            SimLinkQueueRead(LightsOffset, 1, &threads.readLights, &result);
            if (SimLinkProcess(&result)) {
                LinkReadings.rawVerticalSpeed.store(threads.readVerticalSpeed);
                LinkReadings.lights.store(threads.readLights);
            } else {
                SimLinkClose();
                LinkReadings.linkUp.store(false);
            }
            LeavePlatformLock(LinkLock);
        }
        SleepMs(ReaderIntervalMs);
    }
}

void StartLink()
{
    if (!LinkLock)
        LinkLock = CreatePlatformLock();
    StartConnectorThread();
}

bool StartConnectorThread()
{
    if (threads.connector && PlatformThreadRunning(threads.connector))
        return true;
    threads.connector = StartPlatformThread(ConnectorThread);
    return threads.connector != nullptr;
}

void EnsureReaderThread()
{
    // A reader ends only by request, and StopReaderThread forgets it then: one that is known
    // is running.
    if (threads.reader)
        return;
    threads.stopRequested.store(false);
    threads.reader = StartPlatformThread(ReaderThread);
}

void StopReaderThread()
{
    if (!threads.reader)
        return;
    threads.stopRequested.store(true);
    JoinPlatformThread(threads.reader);
    threads.reader = nullptr;
}

bool ReaderThreadExists()
{
    return threads.reader != nullptr;
}
