// Threads, the lock and SleepMs for the native build, over POSIX threads. The thread records
// its own end so that "running" can be asked without waiting, as on Win32.
#include "platform/threads.h"
#include "app/shared.h"

#include <atomic>
#include <cerrno>
#include <pthread.h>
#include <time.h>

struct PlatformThread {
    pthread_t thread;
    void (*proc)();
    std::atomic<bool> ended{false};
};

struct PlatformLock {
    pthread_mutex_t mutex;
};

static void* ThreadEntry(void* parameter)
{
    PlatformThread* record = static_cast<PlatformThread*>(parameter);
    record->proc();
    record->ended.store(true);
    return nullptr;
}

PlatformThread* StartPlatformThread(void (*proc)())
{
    PlatformThread* record = new PlatformThread;
    record->proc = proc;
    if (pthread_create(&record->thread, nullptr, ThreadEntry, record) != 0) {
        delete record;
        return nullptr;
    }
    return record;
}

bool PlatformThreadRunning(PlatformThread* thread)
{
    return !thread->ended.load();
}

void JoinPlatformThread(PlatformThread* thread)
{
    pthread_join(thread->thread, nullptr);
    delete thread;
}

PlatformLock* CreatePlatformLock()
{
    PlatformLock* lock = new PlatformLock;
    pthread_mutex_init(&lock->mutex, nullptr);
    return lock;
}

void EnterPlatformLock(PlatformLock* lock)
{
    pthread_mutex_lock(&lock->mutex);
}

void LeavePlatformLock(PlatformLock* lock)
{
    pthread_mutex_unlock(&lock->mutex);
}

void SleepMs(uint32_t ms)
{
    timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}
