// The native stand-in for the gauge window has no window at all: a test scripts its events,
// its position and whether it can be opened, and counts the error boxes.
#pragma once

#include "platform/window.h"

struct HeadlessWindowScript {
    // Called by every PollWindowEvent; null reports no event.
    WindowEvent (*nextEvent)() = nullptr;
    bool failOpen = false;
};

void SetHeadlessWindowScript(const HeadlessWindowScript& script);
void SetHeadlessWindowPosition(int32_t x, int32_t y);

// What the program did with the stand-in since the script was set.
struct HeadlessWindowRecord {
    bool opened = false;
    bool topmost = false;
    bool destroyed = false;
    int errorBoxes = 0;
    int32_t openedX = 0;
    int32_t openedY = 0;
    char title[64] = {};
};
const HeadlessWindowRecord& HeadlessWindowHistory();
