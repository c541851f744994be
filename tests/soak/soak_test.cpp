// Endurance of the link client over the scripted platform: a thousand open/close cycles that
// must give back every atom, mapping and view, and a server that rewrites the record headers at
// random after serving, over thousands of exchanges, which must never make the client write a
// byte outside its destinations. Run under ASan (which also sees reads past the area) and TSan.
#include "link/sim_link.h"
#include "tests/link/fake_link_platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const int Cycles = 1000;
const int HostileExchanges = 20000;

void ExpectNothingHeld()
{
    EXPECT_EQ(FakeLink.liveAtoms, 0u);
    EXPECT_EQ(FakeLink.liveMappings, 0u);
    EXPECT_EQ(FakeLink.liveViews, 0u);
    EXPECT_EQ(FakeLink.misuse, 0u);
}

TEST(LinkSoak, ThousandOpenCloseCyclesHoldNothingAfterwards)
{
    FakeLinkReset();
    std::memcpy(FakeLink.server.items + 0x02C8, "\x10\x20\x30\x40", 4);
    uint32_t firstCounter = SimLinkInspect().openCounter;
    for (int i = 0; i < Cycles; ++i) {
        LinkResult result = 99;
        ASSERT_TRUE(SimLinkOpen(0, &result)) << "cycle " << i << " result " << result;
        ASSERT_EQ(FakeLink.liveAtoms, 1u);
        int32_t vs = 0;
        uint8_t lights = 7;
        ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
        ASSERT_TRUE(SimLinkQueueRead(0x0280, 1, &lights, &result));
        ASSERT_TRUE(SimLinkProcess(&result)) << "cycle " << i << " result " << result;
        ASSERT_EQ(vs, 0x40302010);
        ASSERT_EQ(lights, 0);
        // Every other cycle closes with records still queued.
        if (i % 2) {
            ASSERT_TRUE(SimLinkQueueRead(0x02C8, 4, &vs, &result));
        }
        SimLinkClose();
        ASSERT_EQ(FakeLink.liveAtoms, 0u) << "cycle " << i;
        ASSERT_EQ(FakeLink.liveMappings, 0u) << "cycle " << i;
        ASSERT_EQ(FakeLink.liveViews, 0u) << "cycle " << i;
    }
    EXPECT_EQ(SimLinkInspect().openCounter, firstCounter + Cycles);
    EXPECT_EQ(FakeLink.addAtomCalls, uint32_t(Cycles));
    EXPECT_EQ(FakeLink.deleteAtomCalls, uint32_t(Cycles));
    EXPECT_EQ(FakeLink.createMappingCalls, uint32_t(Cycles));
    EXPECT_EQ(FakeLink.closeHandleCalls, uint32_t(Cycles));
    EXPECT_EQ(FakeLink.unmapCalls, uint32_t(Cycles));
    ExpectNothingHeld();
}

// ---- A server that rewrites headers at random ------------------------------------------------

// Small generator of its own so that a failure repeats from the seed.
struct Random {
    uint32_t state;
};
Random Rng = {0x2545F491};

uint32_t Next()
{
    Rng.state ^= Rng.state << 13;
    Rng.state ^= Rng.state >> 17;
    Rng.state ^= Rng.state << 5;
    return Rng.state;
}

// Record starts of the batch being served, for the tamper hook.
struct Batch {
    std::vector<uint32_t> starts;
};
Batch Served;

// Values that sit on or just past the edges a walk must respect.
uint32_t NastyValue(uint32_t size, uint32_t start)
{
    switch (Next() % 10) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 2;
    case 3: return 3;
    case 4: return size - start;
    case 5: return size - start - 15;
    case 6: return 0xFFFFFFFFu - (Next() % 32);
    case 7: return 0x80000000u;
    case 8: return Next() % (2 * size);
    default: return Next();
    }
}

void RandomTamper(uint8_t* area, uint32_t size)
{
    uint32_t changes = 1 + Next() % 3;
    for (uint32_t n = 0; n < changes; ++n) {
        // Any record start, or the end marker after the last one.
        uint32_t start = Served.starts[Next() % Served.starts.size()];
        uint32_t field = Next() % 4; // type, offset, length, destination
        uint32_t value = NastyValue(size, start);
        if (start + 4 * field + 4 <= size)
            std::memcpy(area + start + 4 * field, &value, 4);
    }
}

const uint8_t Guard = 0xE7;
const uint8_t Unwritten = 0x5A;
const uint32_t GuardBytes = 32;

TEST(LinkSoak, HostileServerNeverMakesTheClientWriteOutsideItsDestinations)
{
    FakeLinkReset();
    for (uint32_t i = 0; i < EmulatorItemSpace; ++i)
        FakeLink.server.items[i] = uint8_t(i * 7 + 3);
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result));
    // Reads stay below 0x3000, clear of the handshake items and of the writes at 0x4000.
    for (int exchange = 0; exchange < HostileExchanges; ++exchange) {
        // Alternate between random rewrites and the emulator's own hostile mode.
        bool ownMode = exchange % 4 == 3;
        FakeLink.server.mode = ownMode ? EmulatorHostile : EmulatorNormal;
        FakeLink.tamper = ownMode ? nullptr : RandomTamper;

        // Destinations of random lengths, one after another in one block, guarded on both sides.
        uint32_t reads = 1 + Next() % 12;
        std::vector<uint32_t> lengths(reads), offsets(reads), at(reads);
        uint32_t total = GuardBytes;
        for (uint32_t r = 0; r < reads; ++r) {
            lengths[r] = Next() % 3 == 0 ? Next() % 300 : 1 + Next() % 8;
            offsets[r] = Next() % (0x3000 - 300);
            at[r] = total;
            total += lengths[r] + GuardBytes;
        }
        std::vector<uint8_t> block(total, Guard);
        for (uint32_t r = 0; r < reads; ++r)
            std::memset(block.data() + at[r], Unwritten, lengths[r]);

        Served.starts.clear();
        uint32_t next = 0;
        for (uint32_t r = 0; r < reads; ++r) {
            if (Next() % 5 == 0) {
                uint8_t word[6] = {1, 2, 3, 4, 5, 6};
                uint32_t length = 1 + Next() % 6;
                ASSERT_TRUE(SimLinkQueueWrite(0x4000 + r * 8, length, word, &result));
                Served.starts.push_back(next);
                next += LinkWriteHeaderSize + length;
            }
            ASSERT_TRUE(SimLinkQueueRead(offsets[r], lengths[r], block.data() + at[r], &result));
            Served.starts.push_back(next);
            next += LinkReadHeaderSize + lengths[r];
        }
        Served.starts.push_back(next);
        ASSERT_EQ(SimLinkInspect().queuedBytes, next);

        ASSERT_TRUE(SimLinkProcess(&result)) << "exchange " << exchange << " result " << result;
        ASSERT_EQ(result, LinkOk);
        ASSERT_TRUE(SimLinkInspect().isOpen);
        ASSERT_EQ(SimLinkInspect().queuedBytes, 0u);

        // Guards untouched; each destination either as it was or holding exactly its item bytes,
        // and once one record is not delivered none after it is.
        bool stopped = false;
        for (uint32_t r = 0; r < reads; ++r) {
            const uint8_t* d = block.data() + at[r];
            for (uint32_t g = 0; g < GuardBytes; ++g)
                ASSERT_EQ(d[-int32_t(GuardBytes) + int32_t(g)], Guard)
                    << "exchange " << exchange << ": byte before destination " << r;
            bool untouched = true, served = true;
            for (uint32_t b = 0; b < lengths[r]; ++b) {
                untouched = untouched && d[b] == Unwritten;
                served = served && d[b] == FakeLink.server.items[offsets[r] + b];
            }
            ASSERT_TRUE(untouched || served) << "exchange " << exchange << ": destination " << r
                                             << " holds neither its old bytes nor its item's";
            if (lengths[r] > 0 && !served)
                stopped = true;
            else if (stopped && lengths[r] > 0 && !untouched)
                FAIL() << "exchange " << exchange << ": destination " << r
                       << " delivered after one that was not";
        }
        for (uint32_t g = 0; g < GuardBytes; ++g)
            ASSERT_EQ(block[total - GuardBytes + g], Guard) << "exchange " << exchange << ": after the last";
    }
    FakeLink.tamper = nullptr;
    SimLinkClose();
    ExpectNothingHeld();
    EXPECT_GT(FakeLink.server.hostileChanges, 0u);
}

} // namespace
