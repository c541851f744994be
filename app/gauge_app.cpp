// Start-up, the main loop and the end of the gauge, on the main thread. The link threads run
// beside it; this thread never takes their lock and reads the readings with atomic loads, so
// drawing never waits for the link.
#include "app/gauge_app.h"

#include "app/shared.h"
#include "gauge/frame.h"
#include "gauge/scale.h"
#include "gauge/sprite_layer.h"
#include "link/link_threads.h"
#include "platform/window.h"
#include "settings/settings.h"

#include <cstdio>

const char AppVersion[] = "1.03";

static struct AppState {
    float needleAngle = 0.0f;
    void* window = nullptr;
    WindowEvent lastEvent = WindowEvent::None;
    // The raw value of the latest angle update: the update runs only when the reading has
    // changed since, so the needle comes back to zero in level flight and a link that is down
    // shows its lamp in every frame.
    int32_t updatedRaw = 0;
} app;

static void RunOnePass()
{
    if (LinkReadings.linkUp.load()) {
        EnsureReaderThread();
        DrawGaugeFrame(app.needleAngle, false);
    } else {
        StopReaderThread();
        DrawGaugeFrame(app.needleAngle, true);
        SleepMs(10);
    }

    app.lastEvent = PollWindowEvent();
    if (app.lastEvent == WindowEvent::Moved) {
        int32_t x, y;
        if (GetGaugeWindowPosition(app.window, &x, &y)) {
            GaugeSettings.PosWindowX = x;
            GaugeSettings.PosWindowY = y;
        }
    }

    int32_t raw = LinkReadings.rawVerticalSpeed.load();
    if (raw != app.updatedRaw) {
        app.updatedRaw = raw;
        app.needleAngle = ClampNeedleAngle(NeedleAngleFromFpm(FpmFromRaw(raw)));
        DrawGaugeFrame(app.needleAngle, false);
    }

    SleepMs(10);
}

// The link threads are not stopped and the link is not closed: ending the process ends them.
static int EndGauge()
{
    CloseSpriteSurface();
    DestroyGaugeWindow(app.window);
    return 0;
}

int RunGauge()
{
    app = AppState();
    WindowPlatformInit();
    StartLink();
    SpriteLayerInit();
    LoadSettings();

    char title[32];
    std::snprintf(title, sizeof title, "Tovaline - %s", AppVersion);
    app.window = OpenGaugeWindow(title, GaugeSettings.PosWindowX, GaugeSettings.PosWindowY);
    if (!app.window) {
        ShowStartupErrorBox();
        return EndGauge();
    }
    if (!OpenSpriteSurface(app.window)) {
        ShowStartupErrorBox();
        return EndGauge();
    }
    MakeGaugeWindowTopmost(app.window);
    LoadGaugeSprites();

    do {
        RunOnePass();
    } while (app.lastEvent != WindowEvent::Close);

    SaveSettings();
    return EndGauge();
}
