// Window lookup by title and screen capture of a client area, through GDI.
#include "tools/shot/window_capture.h"

#include <string>

namespace {

struct Search {
    DWORD process;
    const char* className;
    const char* title;
    HWND window;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char title[256] = {}, className[256] = {};
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, className, sizeof className);
    if ((search->process == 0 || process == search->process) && std::string(title) == search->title &&
        (!search->className || std::string(className) == search->className)) {
        search->window = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindTopWindow(DWORD process, const char* title, const char* className)
{
    Search search = {process, className, title, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

bool CaptureClient(HWND window, int width, int height, std::vector<uint8_t>* rgb)
{
    POINT origin = {0, 0};
    if (!ClientToScreen(window, &origin))
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY) != FALSE;
        GdiFlush();
        rgb->resize(static_cast<size_t>(width) * height * 3);
        const uint8_t* p = static_cast<const uint8_t*>(bits);
        for (int i = 0; i < width * height; ++i) {
            (*rgb)[i * 3 + 0] = p[i * 4 + 2];
            (*rgb)[i * 3 + 1] = p[i * 4 + 1];
            (*rgb)[i * 3 + 2] = p[i * 4 + 0];
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}
