// Finding a program's window and capturing its client area from the screen, as a user sees it.
// Win32 only; for the tests and the screenshot tool.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// A top-level window with exactly this title (and class, when not null), of the given process,
// or of any process when process is 0. Null when there is none.
HWND FindTopWindow(DWORD process, const char* title, const char* className = nullptr);

// The client area's width x height pixels as they stand on the screen, as RGB rows top down.
bool CaptureClient(HWND window, int width, int height, std::vector<uint8_t>* rgb);
