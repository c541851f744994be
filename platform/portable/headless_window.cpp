// The window-less stand-in for the gauge window, for native tests of the main loop.
#include "platform/portable/headless_window.h"

#include <cstring>

static struct HeadlessWindowState {
    HeadlessWindowScript script;
    HeadlessWindowRecord record;
    int32_t x = 0;
    int32_t y = 0;
    int handle = 0;
} headless;

void SetHeadlessWindowScript(const HeadlessWindowScript& script)
{
    headless.script = script;
    headless.record = HeadlessWindowRecord();
}

void SetHeadlessWindowPosition(int32_t x, int32_t y)
{
    headless.x = x;
    headless.y = y;
}

const HeadlessWindowRecord& HeadlessWindowHistory()
{
    return headless.record;
}

bool WindowPlatformInit()
{
    return true;
}

void* OpenGaugeWindow(const char* title, int32_t x, int32_t y)
{
    if (headless.script.failOpen)
        return nullptr;
    headless.record.opened = true;
    headless.record.openedX = x;
    headless.record.openedY = y;
    std::strncpy(headless.record.title, title, sizeof headless.record.title - 1);
    headless.x = x;
    headless.y = y;
    return &headless.handle;
}

void MakeGaugeWindowTopmost(void*)
{
    headless.record.topmost = true;
}

WindowEvent PollWindowEvent()
{
    return headless.script.nextEvent ? headless.script.nextEvent() : WindowEvent::None;
}

bool GetGaugeWindowPosition(void*, int32_t* x, int32_t* y)
{
    *x = headless.x;
    *y = headless.y;
    return true;
}

void ShowStartupErrorBox()
{
    ++headless.record.errorBoxes;
}

void DestroyGaugeWindow(void*)
{
    headless.record.destroyed = true;
}
