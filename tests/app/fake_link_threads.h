// What the main loop asked of the stand-in link threads.
#pragma once

struct FakeLinkCalls {
    int starts = 0;
    int ensures = 0;
    int stops = 0;
};
extern FakeLinkCalls FakeLinkThreads;
