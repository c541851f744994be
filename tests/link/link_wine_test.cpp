// The real Win32 link client against the emulator program, each test with an emulator of its
// own started here and always ended in TearDown. Runs under Wine in the cross-built tree.
#include "link/sim_link.h"

#include "tests/app/child_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

const DWORD DeadlineMs = ChildDeadlineMs;

class EmulatorTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        SimLinkClose();
        Stop();
    }

    // Starts the emulator with these options and waits for its "ready" line.
    void Start(const std::string& options)
    {
        ASSERT_TRUE(emulator.Start(TOVALINE_EMULATOR_PATH, options, "", true))
            << options << ": error " << GetLastError();
        std::string line = ReadLine();
        ASSERT_EQ(line.rfind("ready", 0), 0u) << "emulator said: " << line;
    }

    void Stop() { emulator.Kill(); }
    std::string ReadLine() { return emulator.ReadLine(); }
    std::string Command(const std::string& line) { return emulator.Command(line); }
    bool WaitForExit(DWORD* exitCode) { return emulator.WaitForExit(exitCode); }

    ChildProcess emulator;
};

TEST_F(EmulatorTest, OpenAndBatchesRoundTrip)
{
    Start("--vs-raw 256 --lights on --kind 8");
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result));
    EXPECT_EQ(result, LinkOk);
    EXPECT_EQ(SimLinkInspect().serverKind, 8u);
    EXPECT_EQ(SimLinkInspect().serverVersion, 0x19980005u);
    EXPECT_NE(Command("stats").find("handshake-writes 1"), std::string::npos);

    int32_t vs = 0;
    uint8_t lights = 0;
    const uint32_t written = 0xC0FFEE11;
    uint32_t echo = 0;
    ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x0280, 1, &lights, &result));
    ASSERT_TRUE(SimLinkQueueWrite(0x4000, 4, &written, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x4000, 4, &echo, &result));
    ASSERT_TRUE(SimLinkProcess(&result));
    EXPECT_EQ(result, LinkOk);
    EXPECT_EQ(vs, 256);
    EXPECT_EQ(lights, 1);
    EXPECT_EQ(echo, written);

    EXPECT_EQ(Command("vs-fpm -1000"), "ok vs-fpm -1000");
    EXPECT_EQ(Command("lights off"), "ok lights off");
    ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x0280, 1, &lights, &result));
    ASSERT_TRUE(SimLinkProcess(&result));
    EXPECT_EQ(vs, -1300);
    EXPECT_EQ(lights, 0);
}

TEST_F(EmulatorTest, FallbackClassIsFound)
{
    Start("--class FS98MAIN");
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result));
    EXPECT_EQ(result, LinkOk);
    EXPECT_EQ(reinterpret_cast<HWND>(SimLinkInspect().serverWindow),
              FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr));
}

struct RefusalCase {
    const char* options;
    uint32_t simulatorKind;
    LinkResult expected;
};

const RefusalCase Refusals[] = {
    {"--mode answer0", 0, LinkErrBadReply},
    {"--mode wrong-version", 0, LinkErrVersion},
    {"--mode wrong-mark", 0, LinkErrVersion},
    {"--class FS98MAIN --mode wrong-version", 0, LinkErrFallbackVersion},
    {"--class FS98MAIN --mark DEAD", 0, LinkErrFallbackVersion},
    {"--kind 8", 9, LinkErrWrongSimulator},
    {"--mode wrong-kind --kind 8", 8, LinkErrWrongSimulator},
    {"--version 19980004", 0, LinkErrVersion},
    {"--version 19980005 --kind 8", 8, LinkOk},
};

TEST_F(EmulatorTest, OpenRefusedByServerFaults)
{
    for (const RefusalCase& c : Refusals) {
        SCOPED_TRACE(c.options);
        Start(c.options);
        LinkResult result = 99;
        EXPECT_EQ(SimLinkOpen(c.simulatorKind, &result), c.expected == LinkOk);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(SimLinkInspect().isOpen, c.expected == LinkOk);
        SimLinkClose();
        Stop();
    }
}

TEST_F(EmulatorTest, ExchangeFaultsLeaveTheLinkOpen)
{
    Start("--vs-raw 77 --lights on");
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result));

    int32_t vs = 5;
    uint8_t lights = 0;
    EXPECT_EQ(Command("mode answer0"), "ok mode answer0");
    ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
    EXPECT_FALSE(SimLinkProcess(&result));
    EXPECT_EQ(result, LinkErrBadReply);
    EXPECT_EQ(vs, 5);
    EXPECT_TRUE(SimLinkInspect().isOpen);

    EXPECT_EQ(Command("mode unknown-type"), "ok mode unknown-type");
    ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x0280, 1, &lights, &result));
    ASSERT_TRUE(SimLinkProcess(&result));
    EXPECT_EQ(result, LinkOk);
    EXPECT_EQ(vs, 77);
    EXPECT_EQ(lights, 0) << "the record after the unknown type word is not delivered";

    EXPECT_EQ(Command("mode hostile"), "ok mode hostile");
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
        ASSERT_TRUE(SimLinkQueueRead(0x0280, 1, &lights, &result));
        ASSERT_TRUE(SimLinkProcess(&result));
    }
    EXPECT_TRUE(SimLinkInspect().isOpen);
}

// Nine sends of 2 s each: the one slow test here.
TEST_F(EmulatorTest, ServerThatNeverAnswersInTime)
{
    Start("");
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result));
    EXPECT_EQ(Command("mode noanswer"), "ok mode noanswer");
    int32_t vs = 5;
    ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
    EXPECT_FALSE(SimLinkProcess(&result));
    EXPECT_TRUE(result == LinkErrNoReply || result == LinkErrSendFailed) << result;
    EXPECT_EQ(vs, 5);
    EXPECT_TRUE(SimLinkInspect().isOpen);
    EXPECT_EQ(SimLinkInspect().queuedBytes, 0u);
}

TEST_F(EmulatorTest, QuitAfterEndsTheServer)
{
    Start("--quit-after 1");
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitForExit(&exitCode));
    EXPECT_EQ(exitCode, 0u);
    // The window goes with the process.
    DWORD start = GetTickCount();
    while (FindWindowExA(nullptr, nullptr, "UIPCMAIN", nullptr) && GetTickCount() - start < DeadlineMs)
        Sleep(10);
    LinkResult result = 99;
    EXPECT_FALSE(SimLinkOpen(0, &result));
    EXPECT_EQ(result, LinkErrNoServer);
}

TEST_F(EmulatorTest, QuitCommandEndsTheServer)
{
    Start("");
    EXPECT_EQ(Command("quit"), "ok quit");
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitForExit(&exitCode));
    EXPECT_EQ(exitCode, 0u);
}

struct ArgumentCase {
    const char* options;
    DWORD exitCode;
    const char* firstWords;
};

const ArgumentCase Arguments[] = {
    {"--help", 0, "Usage: tovaline_emulator"},
    {"--mode sulk", 2, "tovaline_emulator: error: bad argument for 'mode'"},
    {"--class OTHER", 2, "tovaline_emulator: --class takes"},
    {"--quit-after soon", 2, "tovaline_emulator: --quit-after takes"},
    {"--fly 3", 2, "tovaline_emulator: error: unknown command 'fly'"},
    {"stray", 2, "tovaline_emulator: not an option: stray"},
};

TEST_F(EmulatorTest, HelpAndBadArguments)
{
    for (const ArgumentCase& c : Arguments) {
        SCOPED_TRACE(c.options);
        ASSERT_TRUE(emulator.Start(TOVALINE_EMULATOR_PATH, c.options, "", true));
        DWORD exitCode = 99;
        ASSERT_TRUE(WaitForExit(&exitCode));
        EXPECT_EQ(exitCode, c.exitCode);
        EXPECT_EQ(ReadLine().rfind(c.firstWords, 0), 0u);
        Stop();
    }
}


} // namespace
