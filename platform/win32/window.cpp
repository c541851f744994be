// The gauge window over Win32. The window procedure records moves and close requests; a burst
// of WM_MOVE during one drag leaves one recorded event, since a repeat of the last waiting
// event is not recorded again. WM_CLOSE is not passed on, so the window lives until the end.
#include "platform/window.h"

#include "gauge/sprite_layer.h"

#include <windows.h>

namespace {

constexpr char ClassName[] = "TovalineGauge";
constexpr DWORD Style = WS_CAPTION | WS_SYSMENU;
constexpr int QueueCapacity = 16;

struct WindowState {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    WindowEvent queue[QueueCapacity];
    int head = 0;
    int count = 0;
} win;

void RecordEvent(WindowEvent event)
{
    if (win.count > 0 && win.queue[(win.head + win.count - 1) % QueueCapacity] == event)
        return;
    if (win.count == QueueCapacity)
        return;
    win.queue[(win.head + win.count) % QueueCapacity] = event;
    ++win.count;
}

LRESULT CALLBACK GaugeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOVE:
        RecordEvent(WindowEvent::Moved);
        break;
    case WM_CLOSE:
        RecordEvent(WindowEvent::Close);
        return 0;
    case WM_PAINT:
        // The surface shows its last frame again; nothing is composed anew.
        if (RepaintLastFrame()) {
            ValidateRect(window, nullptr);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

bool WindowPlatformInit()
{
    win.instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = GaugeWindowProc;
    wc.hInstance = win.instance;
    wc.hIcon = LoadIconA(win.instance, MAKEINTRESOURCEA(1));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    return RegisterClassA(&wc) != 0;
}

void* OpenGaugeWindow(const char* title, int32_t x, int32_t y)
{
    RECT rect = {0, 0, SurfaceWidth, SurfaceHeight};
    AdjustWindowRectEx(&rect, Style, FALSE, 0);
    win.window = CreateWindowExA(0, ClassName, title, Style, x, y, rect.right - rect.left,
                                 rect.bottom - rect.top, nullptr, nullptr, win.instance, nullptr);
    if (!win.window)
        return nullptr;
    ShowWindow(win.window, SW_SHOWNORMAL);
    return win.window;
}

void MakeGaugeWindowTopmost(void* window)
{
    SetWindowPos(static_cast<HWND>(window), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

WindowEvent PollWindowEvent()
{
    if (win.count > 0) {
        WindowEvent event = win.queue[win.head];
        win.head = (win.head + 1) % QueueCapacity;
        --win.count;
        return event;
    }
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return WindowEvent::None;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (msg.message == WM_MOVE)
        return WindowEvent::Moved;
    if (msg.message == WM_CLOSE)
        return WindowEvent::Close;
    return WindowEvent::Other;
}

bool GetGaugeWindowPosition(void* window, int32_t* x, int32_t* y)
{
    RECT rect;
    if (!GetWindowRect(static_cast<HWND>(window), &rect))
        return false;
    *x = rect.left;
    *y = rect.top;
    return true;
}

void ShowStartupErrorBox()
{
    // The text is Windows-1252: 0xE9 is "é", 0xEA is "ê".
    static const char text[] = "Impossible d'ouvrir un \xE9" "cran dans la fen\xEAtre!";
    HWND owner = GetForegroundWindow();
    DWORD process = 0;
    if (owner)
        GetWindowThreadProcessId(owner, &process);
    if (process != GetCurrentProcessId())
        owner = nullptr;
    MessageBoxA(owner, text, "Erreur", MB_OK);
}

void DestroyGaugeWindow(void* window)
{
    if (window)
        DestroyWindow(static_cast<HWND>(window));
}
