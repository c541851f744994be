// Endurance of the real Win32 link client against the emulator program, under Wine: a thousand
// open/close cycles that leave no atom in the system table and no handle behind, the emulator
// killed and started again twenty times with the link opened again each time, and the
// emulator's hostile mode over many exchanges with guarded destinations.
//
// The link is driven here with SimLinkOpen, SimLinkProcess and SimLinkClose directly, not with
// the link threads, over the system's own platform table with one change: the client's 100 ms
// pauses are skipped, so that a thousand opens take seconds rather than minutes. Everything else
// (window lookup, message, atom, mapping, send) is the real thing.
#include "link/link_platform.h"
#include "link/sim_link.h"
#include "tests/app/child_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int Cycles = 1000;
const int Restarts = 20;
const int HostileExchanges = 5000;

void NoPause(uint32_t) {}

struct Soak {
    LinkPlatform platform;
};
Soak Soak_;

void UseQuickPlatform()
{
    Soak_.platform = *LinkSystemPlatform();
    Soak_.platform.pause = NoPause;
    SimLinkSetPlatform(&Soak_.platform);
}

std::string AreaName(uint32_t counter)
{
    char name[64];
    std::snprintf(name, sizeof name, LinkAreaNameFormat, unsigned(GetCurrentProcessId()),
                  unsigned(counter));
    return name;
}

// Open handles of this process. Wine's GetProcessHandleCount reports 0, so the table is
// probed instead: every handle value is a multiple of 4.
DWORD LiveHandles()
{
    DWORD counted = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &counted) && counted > 0)
        return counted;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++counted;
    }
    return counted;
}

// True when nothing is mapped at that address any more.
bool Unmapped(const void* base)
{
    MEMORY_BASIC_INFORMATION info = {};
    if (VirtualQuery(base, &info, sizeof info) == 0)
        return true;
    return info.State == MEM_FREE || info.Type != MEM_MAPPED;
}

bool ServerWindowGone()
{
    return FindWindowExA(nullptr, nullptr, LinkServerClass, nullptr) == nullptr;
}

class LinkSoakWine : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseQuickPlatform();
        // A server left over from another test would answer in place of ours.
        ASSERT_TRUE(WaitFor(ServerWindowGone)) << "a UIPCMAIN window is already there";
    }
    void TearDown() override
    {
        SimLinkClose();
        SimLinkSetPlatform(nullptr);
        emulator.Kill();
    }

    void StartEmulator(const std::string& options)
    {
        ASSERT_TRUE(emulator.Start(TOVALINE_EMULATOR_PATH, options, "", true));
        std::string line = emulator.ReadLine();
        ASSERT_EQ(line.rfind("ready", 0), 0u) << "emulator said: " << line;
    }

    // One exchange of the reader's two records.
    bool Exchange(int32_t* vs, uint8_t* lights, LinkResult* result)
    {
        return SimLinkQueueRead(0x02C8, 4, vs, result) && SimLinkQueueRead(0x0280, 1, lights, result) &&
               SimLinkProcess(result);
    }

    ChildProcess emulator;
};

TEST_F(LinkSoakWine, ThousandOpenCloseCyclesLeaveNoAtomOrHandle)
{
    StartEmulator("--vs-raw 4660 --lights on");
    LinkResult result = 99;
    int32_t vs = 0;
    uint8_t lights = 0;
    // The first opens let the system set up what it keeps for the process (message, classes).
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(SimLinkOpen(0, &result)) << result;
        ASSERT_TRUE(Exchange(&vs, &lights, &result)) << result;
        SimLinkClose();
    }
    DWORD handlesBefore = LiveHandles();
    ASSERT_GT(handlesBefore, 0u) << "no handle could be counted";

    for (int i = 0; i < Cycles; ++i) {
        ASSERT_TRUE(SimLinkOpen(0, &result)) << "cycle " << i << " result " << result;
        uint32_t counter = SimLinkInspect().openCounter;
        std::string name = AreaName(counter);
        ASSERT_NE(GlobalFindAtomA(name.c_str()), 0) << name << " while open";
        const uint8_t* base = SimLinkInspect().base;
        ASSERT_FALSE(Unmapped(base));
        vs = 0;
        lights = 0;
        ASSERT_TRUE(Exchange(&vs, &lights, &result)) << "cycle " << i << " result " << result;
        ASSERT_EQ(vs, 4660);
        ASSERT_EQ(lights, 1);
        SimLinkClose();
        ASSERT_EQ(GlobalFindAtomA(name.c_str()), 0) << name << " left in the atom table";
        ASSERT_TRUE(Unmapped(base)) << "cycle " << i << ": the area's view is still mapped";
    }

    DWORD handlesAfter = LiveHandles();
    EXPECT_LE(handlesAfter, handlesBefore) << "handles grew over " << Cycles << " cycles";
    // The probe itself must see a handle that is held.
    HANDLE extra = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(extra);
    EXPECT_EQ(LiveHandles(), handlesAfter + 1);
    CloseHandle(extra);
}

TEST_F(LinkSoakWine, LinkComesBackAfterEveryRestartOfTheServer)
{
    LinkResult result = 99;
    for (int round = 0; round < Restarts; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int32_t served = 1000 + round;
        StartEmulator("--vs-raw " + std::to_string(served));
        // The window is there once "ready" is said; the open must succeed at the first try.
        ASSERT_TRUE(SimLinkOpen(0, &result)) << result;
        std::string name = AreaName(SimLinkInspect().openCounter);
        int32_t vs = 0;
        uint8_t lights = 0;
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(Exchange(&vs, &lights, &result)) << result;
        ASSERT_EQ(vs, served) << "a fresh server answered";

        emulator.Kill();
        // The reader's way: an exchange with a dead server fails and the link is closed.
        int32_t before = vs;
        ASSERT_FALSE(Exchange(&vs, &lights, &result));
        EXPECT_TRUE(result == LinkErrNoReply || result == LinkErrSendFailed) << result;
        EXPECT_EQ(vs, before);
        SimLinkClose();
        EXPECT_EQ(GlobalFindAtomA(name.c_str()), 0);
        // The connector's way: no server, no link.
        ASSERT_TRUE(WaitFor(ServerWindowGone));
        EXPECT_FALSE(SimLinkOpen(0, &result));
        EXPECT_EQ(result, LinkErrNoServer);
    }
}

const uint8_t Guard = 0xE7;
const uint8_t Unwritten = 0x5A;
const uint32_t GuardBytes = 32;
// The item bytes the reads take, poked into the emulator's table.
const uint32_t PatternBase = 0x1000;
const uint32_t PatternSize = 256;

uint8_t PatternByte(uint32_t at)
{
    return uint8_t(at * 13 + 1);
}

TEST_F(LinkSoakWine, HostileServerNeverMakesTheClientWriteOutsideItsDestinations)
{
    StartEmulator("");
    for (uint32_t at = 0; at < PatternSize; at += 32) {
        char line[256];
        int used = std::snprintf(line, sizeof line, "poke %X", unsigned(PatternBase + at));
        for (uint32_t b = 0; b < 32; ++b)
            used += std::snprintf(line + used, sizeof line - used, " %02X", PatternByte(PatternBase + at + b));
        ASSERT_EQ(emulator.Command(line).rfind("ok poke", 0), 0u);
    }
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result)) << result;

    uint32_t seed = 0x9E3779B9;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    bool hostile = false;
    int delivered = 0;
    for (int exchange = 0; exchange < HostileExchanges; ++exchange) {
        // Mostly hostile, with a normal stretch now and then to show the link still delivers.
        bool wantHostile = exchange % 50 < 45;
        if (wantHostile != hostile) {
            std::string mode = wantHostile ? "hostile" : "normal";
            ASSERT_EQ(emulator.Command("mode " + mode), "ok mode " + mode);
            hostile = wantHostile;
        }
        uint32_t reads = 1 + next() % 8;
        std::vector<uint32_t> lengths(reads), offsets(reads), at(reads);
        uint32_t total = GuardBytes;
        for (uint32_t r = 0; r < reads; ++r) {
            lengths[r] = 1 + next() % 64;
            offsets[r] = PatternBase + next() % (PatternSize - lengths[r]);
            at[r] = total;
            total += lengths[r] + GuardBytes;
        }
        std::vector<uint8_t> block(total, Guard);
        for (uint32_t r = 0; r < reads; ++r) {
            std::memset(block.data() + at[r], Unwritten, lengths[r]);
            if (next() % 4 == 0) {
                const uint8_t word[2] = {9, 9};
                ASSERT_TRUE(SimLinkQueueWrite(0x4000, 2, word, &result));
            }
            ASSERT_TRUE(SimLinkQueueRead(offsets[r], lengths[r], block.data() + at[r], &result));
        }
        ASSERT_TRUE(SimLinkProcess(&result)) << "exchange " << exchange << " result " << result;
        ASSERT_TRUE(SimLinkInspect().isOpen);

        for (uint32_t r = 0; r < reads; ++r) {
            const uint8_t* d = block.data() + at[r];
            for (uint32_t g = 0; g < GuardBytes; ++g)
                ASSERT_EQ(d[int32_t(g) - int32_t(GuardBytes)], Guard)
                    << "exchange " << exchange << ": byte before destination " << r;
            bool untouched = true, served = true;
            for (uint32_t b = 0; b < lengths[r]; ++b) {
                untouched = untouched && d[b] == Unwritten;
                served = served && d[b] == PatternByte(offsets[r] + b);
            }
            ASSERT_TRUE(untouched || served) << "exchange " << exchange << ": destination " << r;
            if (!hostile && !served)
                FAIL() << "exchange " << exchange << ": a normal server's read was not delivered";
            delivered += served && !untouched;
        }
        for (uint32_t g = 0; g < GuardBytes; ++g)
            ASSERT_EQ(block[total - GuardBytes + g], Guard) << "exchange " << exchange << ": after the last";
    }
    EXPECT_GT(delivered, 0);
    std::string stats = emulator.Command("stats");
    EXPECT_EQ(stats.rfind("stats served", 0), 0u) << stats;
}

} // namespace
