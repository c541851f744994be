// The counter in the shared area's name, in a process of its own so that its first open is the
// process's first: the first name carries 1, and only opens that get as far as naming the area
// advance it.
#include "link/sim_link.h"
#include "tests/link/fake_link_platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string OpenAndName(LinkResult expected)
{
    LinkResult result = 99;
    SimLinkOpen(0, &result);
    EXPECT_EQ(result, expected);
    SimLinkClose();
    return FakeLink.atomNames.empty() ? std::string() : FakeLink.atomNames.back();
}

TEST(LinkCounter, FirstNameCarriesOneAndOnlyNamedOpensAdvance)
{
    FakeLinkReset();
    FakeLink.serverWindow = 0;
    EXPECT_EQ(OpenAndName(LinkErrNoServer), "");
    FakeLinkReset();
    FakeLink.message = 0;
    EXPECT_EQ(OpenAndName(LinkErrRegisterMessage), "");
    EXPECT_EQ(SimLinkInspect().openCounter, 0u);

    FakeLinkReset();
    EXPECT_EQ(OpenAndName(LinkOk), "FsasmLib:IPC:1A2C:1");

    FakeLinkReset();
    LinkResult result = 99;
    ASSERT_TRUE(SimLinkOpen(0, &result));
    EXPECT_EQ(FakeLink.atomNames.back(), "FsasmLib:IPC:1A2C:2");
    EXPECT_FALSE(SimLinkOpen(0, &result));
    EXPECT_EQ(result, LinkErrAlreadyOpen);
    EXPECT_EQ(SimLinkInspect().openCounter, 2u);
    SimLinkClose();

    struct {
        void (*script)();
        LinkResult code;
    } const advancing[] = {
        {[] { FakeLink.atom = 0; }, LinkErrAtom},
        {[] { FakeLink.mappingExists = true; }, LinkErrMapping},
        {[] { FakeLink.viewFails = true; }, LinkErrView},
        {[] { FakeLink.answer = 0; }, LinkErrBadReply},
        {[] { FakeLink.server.version = 1; }, LinkErrVersion},
        {[] { FakeLink.server.kind = 3; }, LinkOk},
    };
    uint32_t expected = 2;
    for (const auto& c : advancing) {
        FakeLinkReset();
        c.script();
        OpenAndName(c.code);
        EXPECT_EQ(SimLinkInspect().openCounter, ++expected);
    }

    // Upper-case hexadecimal without leading zeros, for the process id and the counter alike.
    for (uint32_t i = expected; i < 0x1E; ++i) {
        FakeLinkReset();
        OpenAndName(LinkOk);
    }
    FakeLinkReset();
    FakeLink.processId = 0xBEEF;
    EXPECT_EQ(OpenAndName(LinkOk), "FsasmLib:IPC:BEEF:1F");
}

} // namespace
