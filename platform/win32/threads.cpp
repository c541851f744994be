// Threads, the lock and SleepMs over Win32: CreateThread, WaitForSingleObject, critical
// sections, and Sleep with the timer resolution raised to 1 ms for the length of the pause.
#include "platform/threads.h"
#include "app/shared.h"

#include <windows.h>
#include <mmsystem.h>

struct PlatformThread {
    HANDLE handle;
    void (*proc)();
};

struct PlatformLock {
    CRITICAL_SECTION section;
};

static DWORD WINAPI ThreadEntry(LPVOID parameter)
{
    static_cast<PlatformThread*>(parameter)->proc();
    return 0;
}

PlatformThread* StartPlatformThread(void (*proc)())
{
    PlatformThread* thread = new PlatformThread{nullptr, proc};
    thread->handle = CreateThread(nullptr, 0, ThreadEntry, thread, 0, nullptr);
    if (!thread->handle) {
        delete thread;
        return nullptr;
    }
    return thread;
}

bool PlatformThreadRunning(PlatformThread* thread)
{
    return WaitForSingleObject(thread->handle, 0) != WAIT_OBJECT_0;
}

void JoinPlatformThread(PlatformThread* thread)
{
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
    delete thread;
}

PlatformLock* CreatePlatformLock()
{
    PlatformLock* lock = new PlatformLock;
    InitializeCriticalSection(&lock->section);
    return lock;
}

void EnterPlatformLock(PlatformLock* lock)
{
    EnterCriticalSection(&lock->section);
}

void LeavePlatformLock(PlatformLock* lock)
{
    LeaveCriticalSection(&lock->section);
}

void SleepMs(uint32_t ms)
{
    timeBeginPeriod(1);
    Sleep(ms);
    timeEndPeriod(1);
}
