// The Direct3D 9 layer under the sprite layer tests, on a plain window of the test's own; the
// presented frame is read back from the device.
#include "tests/frame/layer_under_test.h"

#include "gauge/sprite_layer.h"
#include "platform/win32/d3d9_layer.h"

#include <windows.h>

static struct {
    HWND window = nullptr;
    uint8_t frame[SurfaceWidth * SurfaceHeight * 3];
} under;

bool OpenLayerUnderTest()
{
    if (!under.window) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TovalineLayerTest";
        RegisterClassA(&wc);
        RECT rect = {0, 0, SurfaceWidth, SurfaceHeight};
        AdjustWindowRectEx(&rect, WS_CAPTION | WS_SYSMENU, FALSE, 0);
        under.window = CreateWindowExA(0, wc.lpszClassName, "layer test", WS_CAPTION | WS_SYSMENU, 0, 0,
                                       rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                       nullptr, wc.hInstance, nullptr);
        ShowWindow(under.window, SW_SHOWNORMAL);
    }
    return under.window && SpriteLayerInit() && OpenSpriteSurface(under.window);
}

void CloseLayerUnderTest()
{
    CloseSpriteSurface();
}

const uint8_t* PresentedFrameUnderTest()
{
    if (!D3d9ReadBackBuffer(under.frame))
        memset(under.frame, 0xEE, sizeof under.frame);
    return under.frame;
}

int LayerTolerance()
{
    // The device blends and filters in 8-bit fixed point.
    return 2;
}
