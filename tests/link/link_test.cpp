// The link client against the scripted platform and the emulator's serving: every result code
// where it arises, the capacity bound, the handshake's passes and tests, the exchange's retries,
// and a server that breaks its promises about the record headers (run under ASan, which sees
// any access past the area or a destination).
#include "link/sim_link.h"
#include "tests/link/fake_link_platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

uint32_t Get32(const uint8_t* at)
{
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

void Put32(uint8_t* at, uint32_t value)
{
    std::memcpy(at, &value, 4);
}

void PokeItem32(uint32_t item, uint32_t value)
{
    Put32(FakeLink.server.items + item, value);
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override { FakeLinkReset(); }
    void TearDown() override
    {
        SimLinkClose();
        EXPECT_EQ(FakeLink.liveAtoms, 0u);
        EXPECT_EQ(FakeLink.liveViews, 0u);
        EXPECT_EQ(FakeLink.liveMappings, 0u);
        EXPECT_EQ(FakeLink.misuse, 0u);
    }

    void Open()
    {
        LinkResult result = 99;
        ASSERT_TRUE(SimLinkOpen(0, &result));
        ASSERT_EQ(result, LinkOk);
        // Only what a batch does from here on is counted.
        FakeLink.sendCalls = 0;
        FakeLink.pauseCalls = 0;
        FakeLink.pausedMs = 0;
    }
};

// ---- Opening ---------------------------------------------------------------------------------

TEST_F(LinkTest, OpenFindsServerAndRunsOneHandshakeExchange)
{
    uint32_t counterBefore = SimLinkInspect().openCounter;
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result));
    EXPECT_EQ(result, LinkOk);

    SimLinkView link = SimLinkInspect();
    EXPECT_TRUE(link.isOpen);
    EXPECT_EQ(link.queuedBytes, 0u);
    EXPECT_EQ(link.openCounter, counterBefore + 1);
    EXPECT_EQ(link.serverVersion, 0x19980005u);
    EXPECT_EQ(link.serverKind, 8u) << "only the simulator kind remains";

    EXPECT_EQ(FakeLink.classesAsked, std::vector<std::string>{"UIPCMAIN"});
    EXPECT_EQ(FakeLink.registeredName, "FsasmLib:IPC");
    char name[64];
    std::snprintf(name, sizeof name, "FsasmLib:IPC:1A2C:%X", link.openCounter);
    ASSERT_EQ(FakeLink.atomNames.size(), 1u);
    EXPECT_EQ(FakeLink.atomNames[0], name);
    EXPECT_EQ(FakeLink.mappingName, name);
    EXPECT_EQ(FakeLink.mappingSize, 0x8000u);

    EXPECT_EQ(FakeLink.sendCalls, 1u);
    EXPECT_EQ(FakeLink.sentWindow, 0x1001u);
    EXPECT_EQ(FakeLink.sentMessage, 0xC0DEu);
    EXPECT_EQ(FakeLink.sentWParam, 0xC001u);
    EXPECT_EQ(FakeLink.sentTimeoutMs, 2000u);
    EXPECT_EQ(FakeLink.pauseCalls, 1u);
    EXPECT_EQ(FakeLink.pausedMs, 100u);
    EXPECT_EQ(FakeLink.server.handshakeWrites, 1u);

    // The first pass's list, byte for byte: two reads (destination fields are the client's own
    // indexes), the write of 2002, the end marker.
    const uint8_t expected[] = {
        1, 0, 0, 0, 0x04, 0x33, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
        1, 0, 0, 0, 0x08, 0x33, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,
        2, 0, 0, 0, 0x0A, 0x33, 0, 0, 2, 0, 0, 0, 0xD2, 0x07,
        0, 0, 0, 0};
    ASSERT_GE(FakeLink.sentArea.size(), sizeof expected);
    EXPECT_EQ(std::vector<uint8_t>(FakeLink.sentArea.begin(),
                                   FakeLink.sentArea.begin() + sizeof expected),
              std::vector<uint8_t>(expected, expected + sizeof expected));
}

TEST_F(LinkTest, OpenFallsBackToSecondClass)
{
    FakeLink.serverWindow = 0;
    FakeLink.fallbackWindow = 0x2002;
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result));
    EXPECT_EQ(result, LinkOk);
    EXPECT_EQ(FakeLink.classesAsked, (std::vector<std::string>{"UIPCMAIN", "FS98MAIN"}));
    EXPECT_EQ(FakeLink.sentWindow, 0x2002u);
}

TEST_F(LinkTest, OpenOnOpenLinkChangesNothing)
{
    Open();
    int32_t value = 0;
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &value, &result));
    SimLinkView before = SimLinkInspect();
    uint32_t findCalls = FakeLink.findWindowCalls;

    EXPECT_FALSE(SimLinkOpen(0, &result));
    EXPECT_EQ(result, LinkErrAlreadyOpen);
    SimLinkView after = SimLinkInspect();
    EXPECT_TRUE(after.isOpen);
    EXPECT_EQ(after.queuedBytes, 20u);
    EXPECT_EQ(after.openCounter, before.openCounter);
    EXPECT_EQ(after.atom, before.atom);
    EXPECT_EQ(FakeLink.findWindowCalls, findCalls);
    EXPECT_EQ(FakeLink.sendCalls, 0u);
}

struct OpenFailureCase {
    const char* what;
    void (*script)();
    LinkResult expected;
    bool advancesCounter;
    uint32_t atomsDeleted;
    uint32_t handlesClosed;
};

const OpenFailureCase OpenFailures[] = {
    {"no window under either class", [] { FakeLink.serverWindow = 0; }, LinkErrNoServer, false, 0, 0},
    {"message registers as 0", [] { FakeLink.message = 0; }, LinkErrRegisterMessage, false, 0, 0},
    {"atom 0", [] { FakeLink.atom = 0; }, LinkErrAtom, true, 0, 0},
    {"mapping fails", [] { FakeLink.mappingFails = true; }, LinkErrMapping, true, 1, 0},
    {"mapping exists", [] { FakeLink.mappingExists = true; }, LinkErrMapping, true, 1, 1},
    {"view fails", [] { FakeLink.viewFails = true; }, LinkErrView, true, 1, 1},
    {"handshake sends time out", [] { FakeLink.failingSends = UINT32_MAX; }, LinkErrNoReply, true, 1, 1},
    {"handshake sends fail with an error",
     [] {
         FakeLink.failingSends = UINT32_MAX;
         FakeLink.sendError = true;
     },
     LinkErrSendFailed, true, 1, 1},
    {"handshake answered 0", [] { FakeLink.answer = 0; }, LinkErrBadReply, true, 1, 1},
    {"handshake answered 2", [] { FakeLink.answer = 2; }, LinkErrBadReply, true, 1, 1},
};

TEST_F(LinkTest, FailedOpensGiveTheirCodeAndReleaseWhatTheyHeld)
{
    for (const OpenFailureCase& c : OpenFailures) {
        SCOPED_TRACE(c.what);
        FakeLinkReset();
        c.script();
        uint32_t counterBefore = SimLinkInspect().openCounter;
        LinkResult result = 99;
        EXPECT_FALSE(SimLinkOpen(0, &result));
        EXPECT_EQ(result, c.expected);
        SimLinkView link = SimLinkInspect();
        EXPECT_FALSE(link.isOpen);
        EXPECT_EQ(link.serverWindow, 0u);
        EXPECT_EQ(link.message, 0u);
        EXPECT_EQ(link.atom, 0u);
        EXPECT_EQ(link.mapping, 0u);
        EXPECT_EQ(link.openCounter, counterBefore + (c.advancesCounter ? 1 : 0));
        EXPECT_EQ(FakeLink.deleteAtomCalls, c.atomsDeleted);
        EXPECT_EQ(FakeLink.closeHandleCalls, c.handlesClosed);
        EXPECT_EQ(FakeLink.liveAtoms + FakeLink.liveViews + FakeLink.liveMappings, 0u);
        EXPECT_EQ(FakeLink.misuse, 0u);
    }
}

TEST_F(LinkTest, FailedHandshakeSendsRetryNineTimes)
{
    FakeLink.failingSends = UINT32_MAX;
    LinkResult result = 99;
    EXPECT_FALSE(SimLinkOpen(0, &result));
    EXPECT_EQ(result, LinkErrNoReply);
    EXPECT_EQ(FakeLink.sendCalls, 9u);
    EXPECT_EQ(FakeLink.pauseCalls, 9u) << "no pass pause after a failed exchange";
}

struct HandshakeCase {
    uint32_t version;
    uint16_t mark;
    uint16_t kind;
    bool fallback;
    LinkResult expected;
    uint32_t exchanges;
};

const HandshakeCase HandshakeCases[] = {
    {0x19980005, 0xFADE, 8, false, LinkOk, 1},
    {0x19980005, 0xFADE, 8, true, LinkOk, 1},
    {0x19980004, 0xFADE, 8, false, LinkErrVersion, 1},
    {0x19980004, 0xFADE, 8, true, LinkErrFallbackVersion, 1},
    {0x80000000, 0xFADE, 8, false, LinkOk, 1}, // unsigned compare
    {0xFFFFFFFF, 0xFADE, 0xFFFF, false, LinkOk, 1},
    {0x19980005, 0xFADF, 8, false, LinkErrVersion, 1},
    {0x19980005, 0xDEAD, 8, true, LinkErrFallbackVersion, 1},
    {0x19980005, 0x0000, 8, false, LinkErrVersion, 1},
    {0x19980005, 0xFADE, 0, false, LinkOk, 1}, // the mark alone makes the value non-zero
    {0, 0xFADE, 8, false, LinkErrVersion, 5},
    {0, 0xFADE, 8, true, LinkErrFallbackVersion, 5},
    {0x19980005, 0, 0, false, LinkErrVersion, 5},
    {0x19980005, 0, 0, true, LinkErrFallbackVersion, 5},
    {0, 0, 0, false, LinkErrVersion, 5},
};

TEST_F(LinkTest, HandshakePassesAndTests)
{
    for (const HandshakeCase& c : HandshakeCases) {
        SCOPED_TRACE(::testing::Message() << std::hex << "version " << c.version << " mark "
                                          << c.mark << " kind " << c.kind << " fallback "
                                          << c.fallback);
        FakeLinkReset();
        FakeLink.server.version = c.version;
        FakeLink.server.mark = c.mark;
        FakeLink.server.kind = c.kind;
        if (c.fallback) {
            FakeLink.fallbackWindow = FakeLink.serverWindow;
            FakeLink.serverWindow = 0;
        }
        LinkResult result = 99;
        EXPECT_EQ(SimLinkOpen(0, &result), c.expected == LinkOk);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(SimLinkInspect().isOpen, c.expected == LinkOk);
        EXPECT_EQ(FakeLink.sendCalls, c.exchanges);
        EXPECT_EQ(FakeLink.pauseCalls, c.exchanges);
        EXPECT_EQ(FakeLink.pausedMs, 100 * c.exchanges);
        EXPECT_EQ(FakeLink.server.handshakeWrites, 1u) << "2002 goes out on the first pass only";
        EXPECT_EQ(FakeLink.server.served, c.exchanges);
        SimLinkClose();
    }
}

TEST_F(LinkTest, LaterHandshakePassesCarryOnlyTheTwoReads)
{
    FakeLink.server.version = 0;
    LinkResult result = 99;
    EXPECT_FALSE(SimLinkOpen(0, &result));
    ASSERT_GE(FakeLink.sentArea.size(), 44u);
    EXPECT_EQ(Get32(&FakeLink.sentArea[40]), 0u) << "end marker right after the two reads";
}

struct KindCase {
    uint32_t requested;
    uint16_t served;
    LinkResult expected;
};

const KindCase KindCases[] = {
    {0, 8, LinkOk},
    {0, 0x1234, LinkOk},
    {8, 8, LinkOk},
    {9, 8, LinkErrWrongSimulator},
    {0x10008, 8, LinkErrWrongSimulator}, // high bits of a request are never met
    {0xFADE0008, 8, LinkErrWrongSimulator},
};

TEST_F(LinkTest, SimulatorKindMustMatchWhenAskedFor)
{
    for (const KindCase& c : KindCases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.requested << " against " << c.served);
        FakeLinkReset();
        FakeLink.server.kind = c.served;
        LinkResult result = 99;
        EXPECT_EQ(SimLinkOpen(c.requested, &result), c.expected == LinkOk);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(SimLinkInspect().isOpen, c.expected == LinkOk);
        EXPECT_EQ(FakeLink.sendCalls, 1u);
        SimLinkClose();
    }
}

TEST_F(LinkTest, CloseIsHarmlessWhenClosedOrRepeated)
{
    SimLinkClose();
    Open();
    SimLinkClose();
    SimLinkClose();
    EXPECT_FALSE(SimLinkInspect().isOpen);
    EXPECT_EQ(FakeLink.deleteAtomCalls, 1u);
    EXPECT_EQ(FakeLink.deletedAtom, 0xC001u);
    EXPECT_EQ(FakeLink.unmapCalls, 1u);
    EXPECT_EQ(FakeLink.closeHandleCalls, 1u);
}

TEST_F(LinkTest, ReopenAfterCloseUsesANewName)
{
    Open();
    SimLinkClose();
    Open();
    ASSERT_EQ(FakeLink.atomNames.size(), 2u);
    EXPECT_NE(FakeLink.atomNames[0], FakeLink.atomNames[1]);
}

// ---- Queueing and exchanging -------------------------------------------------------------------

TEST_F(LinkTest, ClosedLinkRefusesQueueAndExchange)
{
    int32_t value = 7;
    LinkResult result = 99;
    EXPECT_FALSE(SimLinkQueueRead(0x02C8, 4, &value, &result));
    EXPECT_EQ(result, LinkErrNotOpen);
    result = 99;
    EXPECT_FALSE(SimLinkQueueWrite(0x02C8, 4, &value, &result));
    EXPECT_EQ(result, LinkErrNotOpen);
    result = 99;
    EXPECT_FALSE(SimLinkProcess(&result));
    EXPECT_EQ(result, LinkErrNotOpen);
    EXPECT_EQ(FakeLink.sendCalls, 0u);
    EXPECT_EQ(value, 7);
    EXPECT_FALSE(SimLinkInspect().isOpen);
}

TEST_F(LinkTest, ExchangeWithNothingQueuedSendsNothing)
{
    Open();
    LinkResult result = 99;
    EXPECT_FALSE(SimLinkProcess(&result));
    EXPECT_EQ(result, LinkErrNothingQueued);
    EXPECT_EQ(FakeLink.sendCalls, 0u);
    EXPECT_TRUE(SimLinkInspect().isOpen);
}

TEST_F(LinkTest, BatchOfReadsAndWritesRoundTrips)
{
    Open();
    PokeItem32(0x02C8, uint32_t(-1234));
    FakeLink.server.items[0x0280] = 1;
    const uint8_t written[3] = {0x11, 0x22, 0x33};

    // Guards either side of each destination show that exactly length bytes arrive.
    struct {
        uint8_t before[4];
        int32_t vs;
        uint8_t between[4];
        uint8_t lights;
        uint8_t after[4];
        uint8_t echo[3];
        uint8_t end[4];
    } d;
    std::memset(&d, 0xEE, sizeof d);
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &d.vs, &result));
    ASSERT_TRUE(SimLinkQueueWrite(0x1000, 3, written, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x0280, 1, &d.lights, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x1000, 3, d.echo, &result)); // served after the write
    EXPECT_EQ(SimLinkInspect().queuedBytes, 20u + 15u + 17u + 19u);
    ASSERT_TRUE(SimLinkProcess(&result));
    EXPECT_EQ(result, LinkOk);
    EXPECT_EQ(FakeLink.sendCalls, 1u);
    EXPECT_EQ(FakeLink.pauseCalls, 0u);
    EXPECT_EQ(SimLinkInspect().queuedBytes, 0u);

    EXPECT_EQ(d.vs, -1234);
    EXPECT_EQ(d.lights, 1);
    EXPECT_EQ(std::memcmp(d.echo, written, 3), 0);
    for (uint8_t guard : {d.before[0], d.before[3], d.between[0], d.between[3], d.after[0],
                          d.after[3], d.end[0], d.end[3]})
        EXPECT_EQ(guard, 0xEE);
    EXPECT_EQ(std::memcmp(FakeLink.server.items + 0x1000, written, 3), 0);
}

TEST_F(LinkTest, QueuedRecordsHaveTheirLayoutAndWriteCopiesAtOnce)
{
    Open();
    uint8_t source[5] = {1, 2, 3, 4, 5};
    uint8_t sink[6];
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkQueueRead(0xABCD1234, 6, sink, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x10, 2, nullptr, &result));
    ASSERT_TRUE(SimLinkQueueWrite(0x20, 5, source, &result));
    source[0] = 99;
    const uint8_t* area = SimLinkInspect().base;
    const uint8_t expected[] = {
        1, 0, 0, 0, 0x34, 0x12, 0xCD, 0xAB, 6, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        1, 0, 0, 0, 0x10, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        2, 0, 0, 0, 0x20, 0, 0, 0, 5, 0, 0, 0, 1, 2, 3, 4, 5};
    EXPECT_EQ(std::vector<uint8_t>(area, area + sizeof expected),
              std::vector<uint8_t>(expected, expected + sizeof expected));
    EXPECT_EQ(SimLinkInspect().queuedBytes, sizeof expected);
}

TEST_F(LinkTest, ZeroLengthAndDestinationlessReadsAreServedAndDeliverNothing)
{
    Open();
    PokeItem32(0x40, 0x44434241);
    PokeItem32(0x02C8, 512);
    uint8_t untouched = 0x5A;
    int32_t vs = 0;
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkQueueRead(0x40, 0, &untouched, &result));
    EXPECT_EQ(SimLinkInspect().queuedBytes, 16u);
    ASSERT_TRUE(SimLinkQueueRead(0x40, 4, nullptr, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
    ASSERT_TRUE(SimLinkProcess(&result));
    EXPECT_EQ(untouched, 0x5A);
    EXPECT_EQ(vs, 512) << "the walk steps over both";
    // The destinationless read was served in the area all the same.
    EXPECT_EQ(Get32(SimLinkInspect().base + 16 + 16), 0x44434241u);
}

struct CapacityCase {
    const char* what;
    bool write;
    uint32_t queuedFirst; // length of a read queued before, or none
    uint32_t length;
    bool accepted;
};

const CapacityCase CapacityCases[] = {
    {"read 32496 on empty", false, UINT32_MAX, 32496, true},
    {"read 32497 on empty", false, UINT32_MAX, 32497, false},
    {"write 32496 on empty", true, UINT32_MAX, 32496, true},
    {"write 32497 on empty, 12-byte header", true, UINT32_MAX, 32497, false},
    {"read after 20 bytes, exactly full", false, 4, 32476, true},
    {"read after 20 bytes, one over", false, 4, 32477, false},
    {"write after 20 bytes, exactly full", true, 4, 32476, true},
    {"write after 20 bytes, one over", true, 4, 32477, false},
    {"read that would wrap", false, 4, 0xFFFFFFFF, false},
    {"write that would wrap", true, 4, 0xFFFFFFF0, false},
};

TEST_F(LinkTest, CapacityBound)
{
    static uint8_t buffer[LinkQueueLimit];
    for (const CapacityCase& c : CapacityCases) {
        SCOPED_TRACE(c.what);
        SimLinkClose();
        FakeLinkReset();
        Open();
        LinkResult result = 99;
        if (c.queuedFirst != UINT32_MAX) {
            ASSERT_TRUE(SimLinkQueueRead(0x02C8, c.queuedFirst, buffer, &result));
        }
        SimLinkView before = SimLinkInspect();
        std::vector<uint8_t> areaBefore(before.base, before.base + LinkAreaSize);
        result = 99;
        // A refused length must not be touched, so the buffer can be smaller than it.
        bool accepted = c.write ? SimLinkQueueWrite(0x100, c.length, buffer, &result)
                                : SimLinkQueueRead(0x100, c.length, buffer, &result);
        EXPECT_EQ(accepted, c.accepted);
        EXPECT_EQ(result, c.accepted ? LinkOk : LinkErrQueueFull);
        if (!c.accepted) {
            EXPECT_EQ(SimLinkInspect().queuedBytes, before.queuedBytes);
            EXPECT_TRUE(std::equal(areaBefore.begin(), areaBefore.end(), before.base));
            continue;
        }
        // A full list and its end marker still fit the area, and a server serves it.
        ASSERT_TRUE(SimLinkProcess(&result));
        EXPECT_EQ(result, LinkOk);
        EXPECT_EQ(FakeLink.server.served, 2u);
    }
}

TEST_F(LinkTest, AnswerOtherThanOneDeliversNothing)
{
    for (uintptr_t answer : {uintptr_t(0), uintptr_t(2), uintptr_t(0xFFFFFFFF)}) {
        SCOPED_TRACE(answer);
        SimLinkClose();
        FakeLinkReset();
        Open();
        PokeItem32(0x02C8, 777);
        FakeLink.answer = answer;
        int32_t vs = 5;
        LinkResult result = 99;
        ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
        EXPECT_FALSE(SimLinkProcess(&result));
        EXPECT_EQ(result, LinkErrBadReply);
        EXPECT_EQ(vs, 5) << "the server filled the area, but nothing crosses";
        EXPECT_EQ(FakeLink.server.served, 2u);
        EXPECT_TRUE(SimLinkInspect().isOpen);
        EXPECT_EQ(SimLinkInspect().queuedBytes, 0u);
    }
}

struct SendCase {
    uint32_t failingSends;
    bool sendError;
    LinkResult expected;
    uint32_t sends;
};

const SendCase SendCases[] = {
    {UINT32_MAX, false, LinkErrNoReply, 9},
    {UINT32_MAX, true, LinkErrSendFailed, 9},
    {8, true, LinkOk, 9},
    {1, false, LinkOk, 2},
};

TEST_F(LinkTest, FailedSendsAreRetriedNineTimesWithPauses)
{
    for (const SendCase& c : SendCases) {
        SCOPED_TRACE(::testing::Message() << c.failingSends << " failing, error " << c.sendError);
        SimLinkClose();
        FakeLinkReset();
        Open();
        PokeItem32(0x02C8, 42);
        FakeLink.failingSends = c.failingSends;
        FakeLink.sendError = c.sendError;
        int32_t vs = 0;
        LinkResult result = 99;
        ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
        EXPECT_EQ(SimLinkProcess(&result), c.expected == LinkOk);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(FakeLink.sendCalls, c.sends);
        uint32_t failed = c.expected == LinkOk ? c.sends - 1 : c.sends;
        EXPECT_EQ(FakeLink.pauseCalls, failed) << "a pause after every failed send, the last too";
        EXPECT_EQ(FakeLink.pausedMs, 100 * failed);
        EXPECT_EQ(vs, c.expected == LinkOk ? 42 : 0);
        EXPECT_TRUE(SimLinkInspect().isOpen);
        EXPECT_EQ(SimLinkInspect().queuedBytes, 0u);
    }
}

TEST_F(LinkTest, UnknownTypeWordEndsTheWalk)
{
    Open();
    PokeItem32(0x10, 1);
    PokeItem32(0x20, 2);
    PokeItem32(0x30, 3);
    FakeLink.server.mode = EmulatorUnknownType;
    FakeLink.server.unknownTypeRecord = 1;
    uint32_t a = 0, b = 0, c = 0;
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkQueueRead(0x10, 4, &a, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x20, 4, &b, &result));
    ASSERT_TRUE(SimLinkQueueRead(0x30, 4, &c, &result));
    ASSERT_TRUE(SimLinkProcess(&result));
    EXPECT_EQ(result, LinkOk);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(c, 0u);
    EXPECT_EQ(Get32(SimLinkInspect().base + 20), 0u) << "the unknown word is cleared";
}

// ---- A server that does not leave the headers as they were -------------------------------------

// The batch every hostile case answers: read A (4 bytes), write (2 bytes), read B (4 bytes),
// read C (8 bytes), end marker. Record starts: 0, 20, 34, 54; the marker at 78.
const uint32_t RecordA = 0, RecordWrite = 20, RecordB = 34, RecordC = 54, EndMarker = 78;

struct HostileCase {
    const char* what;
    void (*tamper)(uint8_t* area, uint32_t size);
    uint32_t clearedAt;   // where the walk must have cleared a type word
    int delivered;        // how many of A, B, C arrive
};

const HostileCase HostileCases[] = {
    {"read length grown by one",
     [](uint8_t* area, uint32_t) { Put32(area + RecordB + 8, 5); }, RecordB, 1},
    {"read length shrunk",
     [](uint8_t* area, uint32_t) { Put32(area + RecordC + 8, 4); }, RecordC, 2},
    {"read length far past the area",
     [](uint8_t* area, uint32_t) { Put32(area + RecordA + 8, 0xFFFFFFF0); }, RecordA, 0},
    {"read length to the end of the area",
     [](uint8_t* area, uint32_t size) { Put32(area + RecordC + 8, size - RecordC - 16); }, RecordC,
     2},
    {"write length changed",
     [](uint8_t* area, uint32_t) { Put32(area + RecordWrite + 8, 0x7FFF); }, RecordWrite, 1},
    {"read turned into a write",
     [](uint8_t* area, uint32_t) { Put32(area + RecordB, 2); }, RecordB, 1},
    {"write turned into a read",
     [](uint8_t* area, uint32_t) { Put32(area + RecordWrite, 1); }, RecordWrite, 1},
    {"destination pointed at another read",
     [](uint8_t* area, uint32_t) { Put32(area + RecordB + 12, 1); }, RecordB, 1},
    {"destination index past the table",
     [](uint8_t* area, uint32_t) { Put32(area + RecordC + 12, 0x7FFF); }, RecordC, 2},
    {"destination cleared",
     [](uint8_t* area, uint32_t) { Put32(area + RecordA + 12, 0); }, RecordA, 0},
    {"offset changed",
     [](uint8_t* area, uint32_t) { Put32(area + RecordC + 4, 0x11); }, RecordC, 2},
    {"end marker turned into a read running off the area",
     [](uint8_t* area, uint32_t) {
         Put32(area + EndMarker, 1);
         Put32(area + EndMarker + 8, 0x8000);
         Put32(area + EndMarker + 12, 1);
     },
     EndMarker, 3},
    {"end marker turned into a long write",
     [](uint8_t* area, uint32_t) {
         Put32(area + EndMarker, 2);
         Put32(area + EndMarker + 8, 0xFFFFFFFF);
     },
     EndMarker, 3},
    {"list carried on to the area's last bytes",
     [](uint8_t* area, uint32_t size) {
         Put32(area + EndMarker, 2);
         Put32(area + EndMarker + 8, size - EndMarker - 12 - 2);
         area[size - 2] = 1;
         area[size - 1] = 0;
     },
     EndMarker, 3},
};

TEST_F(LinkTest, WalkStopsAtTheFirstHeaderThatIsNotAsQueued)
{
    for (const HostileCase& c : HostileCases) {
        SCOPED_TRACE(c.what);
        SimLinkClose();
        FakeLinkReset();
        Open();
        PokeItem32(0x10, 0xAAAAAAAA);
        PokeItem32(0x20, 0xBBBBBBBB);
        PokeItem32(0x30, 0xCCCCCCCC);
        PokeItem32(0x34, 0xCCCCCCCC);
        FakeLink.tamper = c.tamper;
        // Each destination is a heap block of exactly its length, so any byte past it shows.
        std::vector<uint32_t> a(1), b(1), cc(2);
        const uint8_t word[2] = {1, 2};
        LinkResult result = 99;
        ASSERT_TRUE(SimLinkQueueRead(0x10, 4, a.data(), &result));
        ASSERT_TRUE(SimLinkQueueWrite(0x40, 2, word, &result));
        ASSERT_TRUE(SimLinkQueueRead(0x20, 4, b.data(), &result));
        ASSERT_TRUE(SimLinkQueueRead(0x30, 8, cc.data(), &result));
        ASSERT_EQ(SimLinkInspect().queuedBytes, EndMarker);

        ASSERT_TRUE(SimLinkProcess(&result));
        EXPECT_EQ(result, LinkOk);
        EXPECT_EQ(a[0], c.delivered > 0 ? 0xAAAAAAAAu : 0u);
        EXPECT_EQ(b[0], c.delivered > 1 ? 0xBBBBBBBBu : 0u);
        EXPECT_EQ(cc[0], c.delivered > 2 ? 0xCCCCCCCCu : 0u);
        EXPECT_EQ(cc[1], c.delivered > 2 ? 0xCCCCCCCCu : 0u);
        EXPECT_EQ(Get32(SimLinkInspect().base + c.clearedAt), 0u);
        EXPECT_TRUE(SimLinkInspect().isOpen);
    }
}

TEST_F(LinkTest, HostileServerModeNeverBreaksTheClient)
{
    Open();
    FakeLink.server.mode = EmulatorHostile;
    for (int i = 0; i < 16; ++i) {
        int32_t vs = 0;
        uint8_t lights = 0;
        LinkResult result = 99;
        ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
        ASSERT_TRUE(SimLinkQueueRead(0x0280, 1, &lights, &result));
        ASSERT_TRUE(SimLinkProcess(&result));
        EXPECT_EQ(result, LinkOk);
    }
    EXPECT_EQ(FakeLink.server.hostileChanges, 16u);
}

} // namespace
