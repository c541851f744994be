// A stand-in for the link threads in the main loop tests: it starts nothing and counts what
// the loop asked of it, so a test sets the readings itself.
#include "link/link_threads.h"
#include "tests/app/fake_link_threads.h"

PlatformLock* LinkLock = nullptr;
FakeLinkCalls FakeLinkThreads;

void StartLink()
{
    ++FakeLinkThreads.starts;
}

bool StartConnectorThread()
{
    return true;
}

void EnsureReaderThread()
{
    ++FakeLinkThreads.ensures;
}

void StopReaderThread()
{
    ++FakeLinkThreads.stops;
}

bool ReaderThreadExists()
{
    return false;
}
