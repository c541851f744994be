// Threads, the one lock and the millisecond pause, as the link threads and the main loop need
// them. Win32 (CreateThread, critical sections, timeBeginPeriod) in the product; std::thread
// and std::mutex natively, with the same behaviour.
#pragma once

#include <cstdint>

struct PlatformThread;
struct PlatformLock;

// Starts proc on a new thread, running at once. Null when the thread cannot be started.
PlatformThread* StartPlatformThread(void (*proc)());

// True while the thread has not ended (a wait with time-out 0 does not report it signalled).
bool PlatformThreadRunning(PlatformThread* thread);

// Waits until the thread has ended by itself, then releases the handle. Never ends it.
void JoinPlatformThread(PlatformThread* thread);

// One mutual-exclusion lock; created once and never destroyed.
PlatformLock* CreatePlatformLock();
void EnterPlatformLock(PlatformLock* lock);
void LeavePlatformLock(PlatformLock* lock);
