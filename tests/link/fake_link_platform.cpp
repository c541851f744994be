// The scripted link platform; see fake_link_platform.h.
#include "tests/link/fake_link_platform.h"

#include "link/link_platform.h"
#include "link/sim_link.h"

#include <cstring>

FakeLinkScript FakeLink;

namespace {

const uintptr_t MappingHandle = 0x5150;

uintptr_t FakeFindWindow(const char* className)
{
    ++FakeLink.findWindowCalls;
    FakeLink.classesAsked.push_back(className);
    if (std::strcmp(className, "UIPCMAIN") == 0)
        return FakeLink.serverWindow;
    if (std::strcmp(className, "FS98MAIN") == 0)
        return FakeLink.fallbackWindow;
    return 0;
}

uint32_t FakeRegisterMessage(const char* name)
{
    ++FakeLink.registerCalls;
    FakeLink.registeredName = name;
    return FakeLink.message;
}

uint32_t FakeProcessId()
{
    return FakeLink.processId;
}

uint16_t FakeAddAtom(const char* name)
{
    ++FakeLink.addAtomCalls;
    FakeLink.atomNames.push_back(name);
    if (FakeLink.atom != 0)
        ++FakeLink.liveAtoms;
    return FakeLink.atom;
}

void FakeDeleteAtom(uint16_t atom)
{
    ++FakeLink.deleteAtomCalls;
    FakeLink.deletedAtom = atom;
    if (FakeLink.liveAtoms == 0 || atom != FakeLink.atom)
        ++FakeLink.misuse;
    else
        --FakeLink.liveAtoms;
}

uintptr_t FakeCreateMapping(const char* name, uint32_t size, bool* alreadyExists)
{
    ++FakeLink.createMappingCalls;
    FakeLink.mappingName = name;
    FakeLink.mappingSize = size;
    if (FakeLink.mappingFails || FakeLink.liveMappings != 0)
        return 0;
    *alreadyExists = FakeLink.mappingExists;
    FakeLink.area = new uint8_t[size];
    // An area left over from another process would hold anything.
    std::memset(FakeLink.area, 0xA5, size);
    ++FakeLink.liveMappings;
    return MappingHandle;
}

void* FakeMapView(uintptr_t mapping, uint32_t)
{
    ++FakeLink.mapViewCalls;
    if (mapping != MappingHandle || FakeLink.liveMappings == 0) {
        ++FakeLink.misuse;
        return nullptr;
    }
    if (FakeLink.viewFails)
        return nullptr;
    ++FakeLink.liveViews;
    return FakeLink.area;
}

void FakeUnmapView(void* base)
{
    ++FakeLink.unmapCalls;
    if (FakeLink.liveViews == 0 || base != FakeLink.area)
        ++FakeLink.misuse;
    else
        --FakeLink.liveViews;
}

void FakeCloseHandle(uintptr_t handle)
{
    ++FakeLink.closeHandleCalls;
    if (handle != MappingHandle || FakeLink.liveMappings == 0 || FakeLink.liveViews != 0) {
        ++FakeLink.misuse;
        return;
    }
    --FakeLink.liveMappings;
    delete[] FakeLink.area;
    FakeLink.area = nullptr;
}

bool FakeSendMessage(uintptr_t window, uint32_t message, uintptr_t wParam, uint32_t timeoutMs,
                     uintptr_t* answer, bool* platformError)
{
    ++FakeLink.sendCalls;
    FakeLink.sentWindow = window;
    FakeLink.sentMessage = message;
    FakeLink.sentWParam = wParam;
    FakeLink.sentTimeoutMs = timeoutMs;
    if (FakeLink.failingSends != 0) {
        if (FakeLink.failingSends != UINT32_MAX)
            --FakeLink.failingSends;
        *platformError = FakeLink.sendError;
        return false;
    }
    if (FakeLink.liveViews == 0 || wParam != FakeLink.atom) {
        // No area under that atom: a server could serve nothing.
        ++FakeLink.misuse;
    } else {
        FakeLink.sentArea.assign(FakeLink.area, FakeLink.area + FakeLink.mappingSize);
        EmulatorServe(&FakeLink.server, FakeLink.area, FakeLink.mappingSize);
        if (FakeLink.tamper)
            FakeLink.tamper(FakeLink.area, FakeLink.mappingSize);
    }
    *answer = FakeLink.answer;
    return true;
}

void FakePause(uint32_t ms)
{
    ++FakeLink.pauseCalls;
    FakeLink.pausedMs += ms;
}

const LinkPlatform FakePlatform = {FakeFindWindow,  FakeRegisterMessage, FakeProcessId,
                                   FakeAddAtom,     FakeDeleteAtom,      FakeCreateMapping,
                                   FakeMapView,     FakeUnmapView,       FakeCloseHandle,
                                   FakeSendMessage, FakePause};

} // namespace

void FakeLinkReset()
{
    delete[] FakeLink.area;
    FakeLink = FakeLinkScript{};
    FakeLink.serverWindow = 0x1001;
    FakeLink.message = 0xC0DE;
    FakeLink.processId = 0x1A2C;
    FakeLink.atom = 0xC001;
    FakeLink.answer = 1;
    EmulatorReset(&FakeLink.server);
    SimLinkSetPlatform(&FakePlatform);
}
