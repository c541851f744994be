// The real gauge program under Wine, seen from outside as a user sees it: its window, what it
// shows (captured from the screen and compared with the software layer's frame), its settings
// file, its start-up error box, and, with the emulator as data server, a needle and a lamp
// that follow the simulator.
#include "app/shared.h"
#include "gauge/frame.h"
#include "gauge/scale.h"
#include "platform/soft/soft_layer.h"
#include "tests/app/child_process.h"
#include "tools/shot/window_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Frame = std::vector<uint8_t>;
const char GaugeTitle[] = "Tovaline - 1.03";

bool Capture(HWND window, Frame* rgb)
{
    return CaptureClient(window, SurfaceWidth, SurfaceHeight, rgb);
}

// The software layer's frame for the same state: the reference the window must show.
Frame Reference(float angle, bool lamp, bool glow, bool withNeedle = true)
{
    LinkReadings.lights.store(glow ? 1 : 0);
    GaugeSettings.light = 1;
    OpenSpriteSurface(nullptr);
    LoadGaugeSprites();
    if (!withNeedle)
        GaugeSprites.NeedleSprite = nullptr;
    DrawGaugeFrame(angle, lamp);
    Frame f(SoftPresentedFrame(), SoftPresentedFrame() + SurfaceWidth * SurfaceHeight * 3);
    CloseSpriteSurface();
    return f;
}

struct Difference {
    double mean;      // mean absolute difference per channel
    double farShare;  // share of pixels with a channel more than 32 off
};

Difference Compare(const Frame& a, const Frame& b)
{
    double sum = 0;
    int offCount = 0;
    for (int i = 0; i < SurfaceWidth * SurfaceHeight; ++i) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) {
            int d = std::abs(int(a[i * 3 + c]) - int(b[i * 3 + c]));
            sum += d;
            worst = d > worst ? d : worst;
        }
        offCount += worst > 32;
    }
    return {sum / (SurfaceWidth * SurfaceHeight * 3.0), offCount / double(SurfaceWidth * SurfaceHeight)};
}

bool LampShown(const Frame& f)
{
    const uint8_t* p = &f[(50 * SurfaceWidth + 50) * 3];
    return p[0] > 150 && p[1] < 100;
}

bool GlowShown(const Frame& f)
{
    return f[(3 * SurfaceWidth + 3) * 3] < 96;
}

// The needle's angle in a capture: the centroid of what differs from the needle-less frame,
// between radius 30 and 100 about the pivot, corrected for the axis lying 2 pixels off it.
bool NeedleAngle(const Frame& f, const Frame& bare, double* angle)
{
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < SurfaceHeight; ++y)
        for (int x = 0; x < SurfaceWidth; ++x) {
            double dx = x + 0.5 - 147.5, dy = y + 0.5 - 147.5;
            double r = std::sqrt(dx * dx + dy * dy);
            if (r < 30 || r > 100)
                continue;
            const uint8_t* p = &f[(y * SurfaceWidth + x) * 3];
            const uint8_t* q = &bare[(y * SurfaceWidth + x) * 3];
            if (p[0] > 200 && p[1] > 200 && p[2] > 200 && std::abs(int(p[1]) - int(q[1])) > 60) {
                sx += dx;
                sy += dy;
                ++n;
            }
        }
    if (n < 40)
        return false;
    sx /= n;
    sy /= n;
    double a = std::atan2(-sy, -sx);
    for (int i = 0; i < 3; ++i)
        a = std::atan2(-(sy + 2 * std::cos(a)), -(sx - 2 * std::sin(a)));
    *angle = a * 180 / 3.14159265358979;
    return true;
}

double AngleDistance(double a, double b)
{
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180 ? 360 - d : d;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class GaugeProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        char name[64];
        std::snprintf(name, sizeof name, "tovaline-%lu-%lu", GetCurrentProcessId(), GetTickCount());
        folder = std::string(temp) + name;
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        settings = folder + "\\Corvelle.ini";
    }
    void TearDown() override
    {
        gauge.Kill();
        emulator.Kill();
        DeleteFileA(settings.c_str());
        DeleteFileA((folder + "\\TovalineNoD3D.exe").c_str());
        RemoveDirectoryA(folder.c_str());
    }

    // Starts the gauge (or a copy of it) and waits for its window.
    HWND StartGauge(const std::string& exe = TOVALINE_GAUGE_PATH)
    {
        gauge.Kill();
        if (!gauge.Start(exe, "", folder))
            return nullptr;
        HWND window = nullptr;
        WaitFor([&] { return (window = FindTopWindow(gauge.id, GaugeTitle)) != nullptr; });
        return window;
    }

    void StartEmulator(const std::string& options)
    {
        ASSERT_TRUE(emulator.Start(TOVALINE_EMULATOR_PATH, options, "", true));
        std::string line = emulator.ReadLine();
        ASSERT_EQ(0u, line.rfind("ready", 0)) << "emulator said: " << line;
    }

    // Waits until the shown frame satisfies done(frame).
    template <typename Done>
    bool WaitForFrame(HWND window, Done done, Frame* last, DWORD deadlineMs = ChildDeadlineMs)
    {
        return WaitFor([&] { return Capture(window, last) && done(*last); }, deadlineMs);
    }

    bool CloseGauge(HWND window, DWORD* exitCode)
    {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return gauge.WaitForExit(exitCode);
    }

    std::string folder;
    std::string settings;
    ChildProcess gauge;
    ChildProcess emulator;
};

TEST_F(GaugeProgram, WindowIsTheInstrumentAtTheOriginAndShowsTheReferenceFrame)
{
    HWND window = StartGauge();
    ASSERT_NE(nullptr, window);
    RECT client, outer;
    GetClientRect(window, &client);
    EXPECT_EQ(290, client.right - client.left);
    EXPECT_EQ(290, client.bottom - client.top);
    GetWindowRect(window, &outer);
    EXPECT_EQ(0, outer.left);
    EXPECT_EQ(0, outer.top);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(LONG(WS_CAPTION | WS_SYSMENU),
              style & LONG(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
    EXPECT_TRUE(WaitFor([&] { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }));
    EXPECT_EQ(DWORD(CS_DBLCLKS), GetClassLongA(window, GCL_STYLE));

    // No data server: the needle at zero, the lamp on.
    Frame expected = Reference(0, true, false);
    Frame shown;
    Difference d = {};
    EXPECT_TRUE(WaitForFrame(window, [&](const Frame& f) {
        d = Compare(f, expected);
        return d.mean < 3 && d.farShare < 0.01;
    }, &shown)) << "mean difference " << d.mean << ", share far off " << d.farShare;

    DWORD exitCode = 99;
    ASSERT_TRUE(CloseGauge(window, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST_F(GaugeProgram, OpensWhereItWasLeft)
{
    HWND window = StartGauge();
    ASSERT_NE(nullptr, window);
    SetWindowPos(window, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT moved;
    ASSERT_TRUE(WaitFor([&] { GetWindowRect(window, &moved); return moved.left == 200 && moved.top == 150; }));
    // A message sent after the move is handled after it: once it is answered, the gauge has
    // seen the move.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, ChildDeadlineMs, &answer);
    DWORD exitCode = 99;
    ASSERT_TRUE(CloseGauge(window, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ("[system]\r\nlight = 1\r\nPosWindowX = 200\r\nPosWindowY = 150\r\n", ReadFileBytes(settings));

    window = StartGauge();
    ASSERT_NE(nullptr, window);
    RECT reopened;
    GetWindowRect(window, &reopened);
    EXPECT_EQ(200, reopened.left);
    EXPECT_EQ(150, reopened.top);
    ASSERT_TRUE(CloseGauge(window, &exitCode));
}

TEST_F(GaugeProgram, NoDrawingSurfaceGivesTheErrorBoxAndSavesNothing)
{
    const std::string before = "[system]\nPosWindowX=40\n; kept as it is\n";
    std::ofstream(settings, std::ios::binary) << before;
    // Without d3d9.dll the surface cannot be opened. Wine takes its DLL choices per program
    // name from the registry, so a copy of the gauge under another name goes without.
    const std::string copy = folder + "\\TovalineNoD3D.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(TOVALINE_GAUGE_PATH).c_str(), copy.c_str(), FALSE));
    const char key[] = "Software\\Wine\\AppDefaults\\TovalineNoD3D.exe\\DllOverrides";
    HKEY overrides;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides, nullptr));
    RegSetValueExA(overrides, "d3d9", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(overrides);
    HWND window = StartGauge(copy);
    ASSERT_NE(nullptr, window);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindTopWindow(gauge.id, "Erreur", "#32770")) != nullptr; }));
    char text[256] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ("Impossible d'ouvrir un \xE9" "cran dans la fen\xEAtre!", text);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(window, GetWindow(box, GW_OWNER));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD exitCode = 99;
    ASSERT_TRUE(gauge.WaitForExit(&exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(before, ReadFileBytes(settings));
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
    DeleteFileA(copy.c_str());
}

TEST_F(GaugeProgram, NeedleFollowsTheServedVerticalSpeed)
{
    StartEmulator("--vs-fpm 1000");
    HWND window = StartGauge();
    ASSERT_NE(nullptr, window);
    Frame bare = Reference(0, false, false, false);
    struct Case {
        const char* command;
        double angle;
    } cases[] = {{nullptr, 40}, {"vs-fpm -2000", -82}, {"vs-fpm 7000", 180}, {"vs-fpm 0", 0}};
    for (const Case& c : cases) {
        if (c.command)
            ASSERT_EQ(0u, emulator.Command(c.command).rfind("ok", 0)) << c.command;
        double angle = 999;
        Frame shown;
        EXPECT_TRUE(WaitForFrame(window, [&](const Frame& f) {
            return !LampShown(f) && NeedleAngle(f, bare, &angle) && AngleDistance(angle, c.angle) < 2;
        }, &shown)) << (c.command ? c.command : "start") << ": needle at " << angle << ", lamp "
                    << LampShown(shown);
    }
}

TEST_F(GaugeProgram, LampAndGlowFollowTheLink)
{
    StartEmulator("--vs-fpm 500");
    HWND window = StartGauge();
    ASSERT_NE(nullptr, window);
    Frame shown;
    ASSERT_TRUE(WaitForFrame(window, [](const Frame& f) { return !LampShown(f); }, &shown));

    ASSERT_EQ(0u, emulator.Command("lights on").rfind("ok", 0));
    EXPECT_TRUE(WaitForFrame(window, GlowShown, &shown));
    ASSERT_EQ(0u, emulator.Command("lights off").rfind("ok", 0));
    EXPECT_TRUE(WaitForFrame(window, [](const Frame& f) { return !GlowShown(f); }, &shown));

    // The server goes away: the lamp within a few seconds; back, and it goes out again.
    emulator.Kill();
    DWORD lost = GetTickCount();
    EXPECT_TRUE(WaitForFrame(window, LampShown, &shown, 10000));
    std::printf("lamp on %lu ms after the server quit\n", GetTickCount() - lost);
    StartEmulator("--vs-fpm 500");
    DWORD back = GetTickCount();
    EXPECT_TRUE(WaitForFrame(window, [](const Frame& f) { return !LampShown(f); }, &shown, 10000));
    std::printf("lamp off %lu ms after the server came back\n", GetTickCount() - back);

    // A server that stops answering: the lamp after the exchange's nine attempts.
    ASSERT_EQ(0u, emulator.Command("mode noanswer").rfind("ok", 0));
    EXPECT_TRUE(WaitForFrame(window, LampShown, &shown, 45000));
    ASSERT_EQ(0u, emulator.Command("mode normal").rfind("ok", 0));
    EXPECT_TRUE(WaitForFrame(window, [](const Frame& f) { return !LampShown(f); }, &shown, 30000));

    DWORD exitCode = 99;
    ASSERT_TRUE(CloseGauge(window, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

} // namespace
