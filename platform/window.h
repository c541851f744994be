// The gauge window: opening it, its events polled without waiting, its position, the topmost
// flag and the start-up error box. Win32 in the product; natively a window-less stand-in whose
// events a test scripts.
#pragma once

#include <cstdint>

enum class WindowEvent {
    None,  // no message was waiting
    Moved, // the window was moved
    Close, // the user asked to close it
    Other, // any other message
};

bool WindowPlatformInit();

// Opens the window with a 290 x 290 client area, its outer top-left corner at (x, y), and
// shows it. Returns the platform's window handle, or null.
void* OpenGaugeWindow(const char* title, int32_t x, int32_t y);

void MakeGaugeWindowTopmost(void* window);

// One event: a recorded one if any waits, otherwise at most one message from the queue.
WindowEvent PollWindowEvent();

// The window's outer top-left corner in screen coordinates.
bool GetGaugeWindowPosition(void* window, int32_t* x, int32_t* y);

// The start-up error box; returns once the user has dismissed it.
void ShowStartupErrorBox();

void DestroyGaugeWindow(void* window);
