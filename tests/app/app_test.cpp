// The gauge program's start-up, main loop and end, natively: the software layer draws, the
// window is a scripted stand-in, the link threads a counting one. A script step runs in each
// pass, at its event poll, and may change the readings the next steps of the pass see.
#include "app/gauge_app.h"
#include "app/shared.h"
#include "gauge/frame.h"
#include "gauge/scale.h"
#include "platform/portable/headless_window.h"
#include "platform/soft/soft_layer.h"
#include "tests/app/fake_link_threads.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct PassStep {
    WindowEvent event = WindowEvent::None;
    std::function<void()> then; // runs after the poll, before the angle update
};

struct Recorded {
    bool lamp;
    std::vector<uint8_t> rgb;
};

struct Script {
    std::vector<PassStep> steps;
    size_t next = 0;
    std::vector<Recorded> frames;
    std::vector<size_t> framesAtPoll; // frames presented before each poll
} script;

WindowEvent NextEvent()
{
    script.framesAtPoll.push_back(script.frames.size());
    if (script.next >= script.steps.size())
        return WindowEvent::Close;
    PassStep& step = script.steps[script.next++];
    if (step.then)
        step.then();
    return step.event;
}

void OnPresent(const uint8_t* rgb)
{
    const uint8_t* lamp = rgb + (50 * SurfaceWidth + 50) * 3;
    script.frames.push_back({lamp[0] > 200 && lamp[1] < 120,
                             std::vector<uint8_t>(rgb, rgb + SurfaceWidth * SurfaceHeight * 3)});
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class GaugeApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tovaline-app-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
        ASSERT_EQ(0, getcwd(oldDir, sizeof oldDir) == nullptr);
        ASSERT_EQ(0, chdir(dir.c_str()));
        script = Script();
        FakeLinkThreads = FakeLinkCalls();
        LinkReadings.rawVerticalSpeed.store(0);
        LinkReadings.lights.store(0);
        LinkReadings.linkUp.store(false);
        GaugeSettings = GaugeSettingsRecord();
        SetSoftSurfaceFails(false);
        SetSoftPresentHook(OnPresent);
        HeadlessWindowScript window;
        window.nextEvent = NextEvent;
        SetHeadlessWindowScript(window);
    }
    void TearDown() override
    {
        SetSoftPresentHook(nullptr);
        SetSoftSurfaceFails(false);
        std::remove((dir + "/Corvelle.ini").c_str());
        ASSERT_EQ(0, chdir(oldDir));
        rmdir(dir.c_str());
    }

    void Steps(std::vector<PassStep> steps) { script.steps = std::move(steps); }

    static std::vector<uint8_t> Reference(float angle)
    {
        SetSoftPresentHook(nullptr);
        OpenSpriteSurface(nullptr);
        LoadGaugeSprites();
        DrawGaugeFrame(angle, false);
        std::vector<uint8_t> f(SoftPresentedFrame(), SoftPresentedFrame() + SurfaceWidth * SurfaceHeight * 3);
        CloseSpriteSurface();
        SetSoftPresentHook(OnPresent);
        return f;
    }

    std::string dir;
    char oldDir[4096];
};

void SetRaw(int32_t raw)
{
    LinkReadings.rawVerticalSpeed.store(raw);
}

TEST_F(GaugeApp, StartsWithTheTitleAtTheStoredPlaceAndTopmost)
{
    std::ofstream("Corvelle.ini") << "[system]\nPosWindowX = 120\nPosWindowY = -7\n";
    Steps({});
    EXPECT_EQ(0, RunGauge());
    const HeadlessWindowRecord& w = HeadlessWindowHistory();
    EXPECT_STREQ("Tovaline - 1.03", w.title);
    EXPECT_EQ(120, w.openedX);
    EXPECT_EQ(-7, w.openedY);
    EXPECT_TRUE(w.topmost);
    EXPECT_TRUE(w.destroyed);
    EXPECT_EQ(0, w.errorBoxes);
    EXPECT_EQ(1, FakeLinkThreads.starts);
}

TEST_F(GaugeApp, LinkDownDrawsTheLampEveryPassAndStopsTheReader)
{
    Steps(std::vector<PassStep>(5));
    RunGauge();
    // Six passes (the close comes in the sixth); one lamp frame each, nothing else.
    EXPECT_EQ(6u, script.frames.size());
    for (const Recorded& f : script.frames)
        EXPECT_TRUE(f.lamp);
    EXPECT_EQ(6, FakeLinkThreads.stops);
    EXPECT_EQ(0, FakeLinkThreads.ensures);
}

TEST_F(GaugeApp, LinkUpDrawsWithoutTheLampAndKeepsTheReader)
{
    LinkReadings.linkUp.store(true);
    Steps(std::vector<PassStep>(3));
    RunGauge();
    EXPECT_EQ(4u, script.frames.size());
    for (const Recorded& f : script.frames)
        EXPECT_FALSE(f.lamp);
    EXPECT_EQ(4, FakeLinkThreads.ensures);
    EXPECT_EQ(0, FakeLinkThreads.stops);
}

TEST_F(GaugeApp, AngleUpdatesOnlyWhenTheReadingChanges)
{
    // A climb of 1000 ft/min, then the reading stays, then level flight.
    int32_t raw1000 = 1302; // about 1001 ft/min
    LinkReadings.linkUp.store(true);
    Steps({
        {WindowEvent::None, [=] { SetRaw(raw1000); }},
        {WindowEvent::None, nullptr},
        {WindowEvent::None, nullptr},
        {WindowEvent::None, [] { SetRaw(0); }},
        {WindowEvent::None, nullptr},
    });
    RunGauge();
    // Passes 1 and 4 draw a second frame; the others one each; the closing pass one.
    ASSERT_EQ(6u + 2u, script.frames.size());
    std::vector<uint8_t> climb = Reference(ClampNeedleAngle(NeedleAngleFromFpm(FpmFromRaw(raw1000))));
    std::vector<uint8_t> level = Reference(0.0f);
    EXPECT_EQ(level, script.frames[0].rgb);
    EXPECT_EQ(climb, script.frames[1].rgb);
    EXPECT_EQ(climb, script.frames[2].rgb);
    EXPECT_EQ(climb, script.frames[3].rgb);
    EXPECT_EQ(climb, script.frames[4].rgb);
    // Level flight brings the needle back to zero.
    EXPECT_EQ(level, script.frames[5].rgb);
    EXPECT_EQ(level, script.frames.back().rgb);
}

TEST_F(GaugeApp, LampStaysOnWhileTheLinkIsDownWithAnOldReading)
{
    // The link drops while the last reading was a climb: it is kept, but no lamp-less frame
    // follows the lamp frame in the passes after the first.
    LinkReadings.linkUp.store(true);
    Steps({
        {WindowEvent::None, [] { SetRaw(2000); }},
        {WindowEvent::None, [] { LinkReadings.linkUp.store(false); }},
        {WindowEvent::None, nullptr},
        {WindowEvent::None, nullptr},
        {WindowEvent::None, nullptr},
    });
    RunGauge();
    // Pass 0: frame + update frame; pass 1 (still up at its top): one frame; then lamp frames.
    ASSERT_EQ(3u + 4u, script.frames.size());
    for (size_t i = 3; i < script.frames.size(); ++i)
        EXPECT_TRUE(script.frames[i].lamp) << "frame " << i;
}

TEST_F(GaugeApp, MovesAreStoredAndSavedAfterTheClose)
{
    Steps({
        {WindowEvent::Moved, [] { SetHeadlessWindowPosition(300, 40); }},
        {WindowEvent::Other, [] { SetHeadlessWindowPosition(999, 999); }},
        {WindowEvent::Moved, [] { SetHeadlessWindowPosition(-20, 610); }},
    });
    RunGauge();
    EXPECT_EQ(-20, GaugeSettings.PosWindowX);
    EXPECT_EQ(610, GaugeSettings.PosWindowY);
    EXPECT_EQ(std::string("[system]\r\nlight = 1\r\nPosWindowX = -20\r\nPosWindowY = 610\r\n"),
              ReadFile("Corvelle.ini"));
}

TEST_F(GaugeApp, CloseEndsTheLoopAfterTheRestOfItsPass)
{
    LinkReadings.linkUp.store(true);
    Steps({{WindowEvent::Close, [] { SetRaw(-2600); }}});
    RunGauge();
    // The update frame of the closing pass is still drawn.
    ASSERT_EQ(2u, script.frames.size());
    EXPECT_EQ(Reference(ClampNeedleAngle(NeedleAngleFromFpm(FpmFromRaw(-2600)))), script.frames[1].rgb);
}

TEST_F(GaugeApp, StartUpFailuresShowTheBoxAndSaveNothing)
{
    const std::string before = "[system]\nlight=0\n; mine\n";
    for (bool windowFails : {true, false}) {
        SCOPED_TRACE(windowFails ? "window" : "surface");
        std::ofstream("Corvelle.ini", std::ios::binary) << before;
        HeadlessWindowScript window;
        window.nextEvent = NextEvent;
        window.failOpen = windowFails;
        SetHeadlessWindowScript(window);
        SetSoftSurfaceFails(!windowFails);
        EXPECT_EQ(0, RunGauge());
        EXPECT_EQ(1, HeadlessWindowHistory().errorBoxes);
        EXPECT_EQ(!windowFails, HeadlessWindowHistory().opened);
        EXPECT_FALSE(HeadlessWindowHistory().topmost);
        EXPECT_TRUE(script.frames.empty());
        EXPECT_EQ(before, ReadFile("Corvelle.ini"));
    }
}

} // namespace
