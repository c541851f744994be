// The emulator's portable half: what its profiles serve, that its handshake items survive the
// client's write, that its serving stays inside the area, and its command parsing.
#include "tools/emulator/emulator_core.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

class EmulatorCoreTest : public ::testing::Test {
protected:
    void SetUp() override { EmulatorReset(&state); }

    bool Run(const char* line)
    {
        char reply[256];
        bool quit = false;
        return EmulatorCommand(&state, line, reply, sizeof reply, &quit);
    }

    double ServedFpm(double seconds)
    {
        EmulatorUpdateProfiles(&state, seconds);
        return EmulatorFpmFromRaw(int32_t(Get32(state.items + EmulatorVerticalSpeedItem)));
    }

    EmulatorState state;
};

TEST_F(EmulatorCoreTest, UnitsConvertBothWays)
{
    EXPECT_EQ(EmulatorRawFromFpm(0), 0);
    EXPECT_EQ(EmulatorRawFromFpm(1000), 1300); // 1000 ft/min = 5.08 m/s
    EXPECT_EQ(EmulatorRawFromFpm(-6000), -7803);
    EXPECT_NEAR(EmulatorFpmFromRaw(256), 196.85, 0.01);
}

TEST_F(EmulatorCoreTest, ProfilesServeTheirShapes)
{
    ASSERT_TRUE(Run("vs-fpm 1500"));
    EXPECT_NEAR(ServedFpm(3), 1500, 0.5);
    ASSERT_TRUE(Run("period 10"));
    ASSERT_TRUE(Run("vs-profile climb"));
    EXPECT_NEAR(ServedFpm(0), 0, 0.5);
    EXPECT_NEAR(ServedFpm(5), 3000, 0.5);
    EXPECT_NEAR(ServedFpm(25), 6000, 0.5);
    ASSERT_TRUE(Run("vs-profile descent"));
    EXPECT_NEAR(ServedFpm(5), -3000, 0.5);
    ASSERT_TRUE(Run("vs-profile oscillate"));
    EXPECT_NEAR(ServedFpm(2.5), 6000, 0.5);
    EXPECT_NEAR(ServedFpm(7.5), -6000, 0.5);
    EXPECT_NEAR(ServedFpm(10), 0, 0.5);
}

TEST_F(EmulatorCoreTest, LightsSteadyOrToggling)
{
    ASSERT_TRUE(Run("lights on"));
    EmulatorUpdateProfiles(&state, 0);
    EXPECT_EQ(state.items[EmulatorLightsItem], 1);
    ASSERT_TRUE(Run("lights toggle"));
    ASSERT_TRUE(Run("lights-period 2"));
    EmulatorUpdateProfiles(&state, 1);
    EXPECT_EQ(state.items[EmulatorLightsItem], 0);
    EmulatorUpdateProfiles(&state, 3);
    EXPECT_EQ(state.items[EmulatorLightsItem], 1);
}

TEST_F(EmulatorCoreTest, HandshakeValuesSurviveTheClientsWrite)
{
    std::vector<uint8_t> area(0x8000, 0);
    const uint8_t list[] = {1, 0, 0, 0, 0x08, 0x33, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            2, 0, 0, 0, 0x0A, 0x33, 0, 0, 2, 0, 0, 0, 0xD2, 0x07};
    for (int pass = 0; pass < 2; ++pass) {
        std::memcpy(area.data(), list, sizeof list);
        EXPECT_EQ(EmulatorServe(&state, area.data(), uint32_t(area.size())), 1u);
        EXPECT_EQ(Get32(&area[16]), 0xFADE0008u);
    }
    EXPECT_EQ(state.handshakeWrites, 2u);
}

TEST_F(EmulatorCoreTest, ServingStaysInsideTheArea)
{
    // A list with no end marker whose last record claims more than is left.
    std::vector<uint8_t> area(64, 0);
    Put32(&area[0], 1);
    Put32(&area[8], 4);
    Put32(&area[20], 1);
    Put32(&area[28], 100);
    EXPECT_EQ(EmulatorServe(&state, area.data(), uint32_t(area.size())), 1u);
    std::vector<uint8_t> full(24, 0);
    Put32(&full[0], 2);
    Put32(&full[8], 12);
    EmulatorServe(&state, full.data(), uint32_t(full.size()));
}

TEST_F(EmulatorCoreTest, CommandsCheckTheirArguments)
{
    const char* good[] = {"vs-raw -256", "mode answer0", "mode normal", "version 19980004",
                          "mark FADE", "kind 12", "poke 100 1 2 ff", "stats", "lights 0",
                          "unknown-type-record 0"};
    for (const char* line : good)
        EXPECT_TRUE(Run(line)) << line;
    const char* bad[] = {"", "vs-fpm", "vs-fpm fast", "vs-fpm 1 2", "mode sulk",
                         "vs-profile zigzag", "period 0", "period -1", "lights dim",
                         "version 1FFFFFFFF", "kind 70000", "poke FFFF 1 2", "fly"};
    for (const char* line : bad)
        EXPECT_FALSE(Run(line)) << line;
    EXPECT_EQ(state.kind, 12);
    EXPECT_EQ(state.items[0x102], 0xFF);

    char reply[256];
    bool quit = false;
    EXPECT_TRUE(EmulatorCommand(&state, "quit", reply, sizeof reply, &quit));
    EXPECT_TRUE(quit);
}

} // namespace
