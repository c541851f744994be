// A scripted stand-in for the link client's system operations, for native tests: every answer
// the system could give can be chosen, every call is counted, the shared area is a heap block of
// exactly the area's size (so the sanitizers see any access past it), and a send runs an
// in-process server over it. Pauses are counted, not waited. Not thread-safe by itself: callers
// of the link hold their own lock, and the script is changed only between calls.
#pragma once

#include "tools/emulator/emulator_core.h"

#include <cstdint>
#include <string>
#include <vector>

struct FakeLinkScript {
    // Answers.
    uintptr_t serverWindow;   // found under "UIPCMAIN"; 0 for none
    uintptr_t fallbackWindow; // found under "FS98MAIN"; 0 for none
    uint32_t message;         // 0: registering fails
    uint32_t processId;
    uint16_t atom;            // 0: adding fails
    bool mappingFails;
    bool mappingExists;       // the area's name is taken already
    bool viewFails;
    uint32_t failingSends;    // sends that fail before one succeeds; UINT32_MAX: all of them
    bool sendError;           // failed sends report an error
    uintptr_t answer;         // the answer of a send that succeeds
    // Called on each successful send, after the server, to break its promises.
    void (*tamper)(uint8_t* area, uint32_t size);
    EmulatorState server;     // served through the emulator's own serving

    // Observations.
    uint32_t findWindowCalls;
    std::vector<std::string> classesAsked;
    uint32_t registerCalls;
    std::string registeredName;
    uint32_t addAtomCalls;
    std::vector<std::string> atomNames;
    uint32_t deleteAtomCalls;
    uint16_t deletedAtom;
    uint32_t createMappingCalls;
    std::string mappingName;
    uint32_t mappingSize;
    uint32_t mapViewCalls;
    uint32_t unmapCalls;
    uint32_t closeHandleCalls;
    uint32_t sendCalls;
    std::vector<uint8_t> sentArea; // the area as the last served send found it
    uintptr_t sentWindow;
    uint32_t sentMessage;
    uintptr_t sentWParam;
    uint32_t sentTimeoutMs;
    uint32_t pauseCalls;
    uint32_t pausedMs;
    uint32_t misuse;          // unmaps or closes of something not held
    // Handles and views held by the client right now.
    uint32_t liveAtoms;
    uint32_t liveMappings;
    uint32_t liveViews;
    uint8_t* area;            // the last area created (freed when its handle closes)
};

extern FakeLinkScript FakeLink;

// Restores the defaults (a server under "UIPCMAIN" that answers 1 and passes the handshake),
// clears the observations and installs the fake as the link's platform.
void FakeLinkReset();
