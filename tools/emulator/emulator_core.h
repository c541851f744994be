// The data-server emulator's portable half: its table of data items, the handshake values it
// serves, the vertical-speed and lights profiles, the fault modes, the serving of one request
// list in place, and the one-line commands that set all of it (from the command line or
// stdin). Nothing here knows about windows or processes.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t EmulatorItemSpace = 0x10000;
constexpr uint32_t EmulatorVersionItem = 0x3304;
constexpr uint32_t EmulatorKindItem = 0x3308;
constexpr uint32_t EmulatorHandshakeWordItem = 0x330A;
constexpr uint32_t EmulatorVerticalSpeedItem = 0x02C8;
constexpr uint32_t EmulatorLightsItem = 0x0280;
// Lowest version a client accepts; wrong-version serves one below it.
constexpr uint32_t EmulatorGoodVersion = 0x19980005;
constexpr uint16_t EmulatorGoodMark = 0xFADE;
// How long a send waits on a server in no-answer mode before the server gives up on it: well
// past the client's 2 s time-out.
constexpr uint32_t EmulatorNoAnswerMs = 2500;

enum EmulatorMode : uint32_t {
    EmulatorNormal,
    EmulatorAnswer0,      // answers 0 and serves nothing
    EmulatorNoAnswer,     // answers only after the sender has given up
    EmulatorUnknownType,  // serves, then leaves an unknown type word in the list
    EmulatorWrongVersion, // serves a version one below the lowest accepted
    EmulatorWrongMark,    // serves 0xDEAD in place of the mark
    EmulatorWrongKind,    // serves the simulator kind plus one
    EmulatorHostile,      // serves, then changes a record header, a different way each time
};

enum EmulatorVsProfile : uint32_t {
    EmulatorVsSteady,
    EmulatorVsClimb,     // from 0 up to +amplitude over one period, then holds
    EmulatorVsDescent,   // from 0 down to -amplitude over one period, then holds
    EmulatorVsOscillate, // amplitude * sin(2 pi t / period)
};

struct EmulatorState {
    uint8_t items[EmulatorItemSpace];
    uint32_t version;
    uint16_t mark;
    uint16_t kind;
    EmulatorMode mode;
    uint32_t unknownTypeRecord; // 0-based index of the record whose type word is spoiled
    EmulatorVsProfile vsProfile;
    int32_t steadyRaw;
    double amplitudeFpm;
    double periodS;
    bool lightsToggle;
    uint8_t lights;
    double lightsPeriodS;
    // Counters, for the stats command.
    uint32_t served;
    uint32_t refused;
    uint32_t handshakeWrites;
    uint32_t hostileChanges;
};

void EmulatorReset(EmulatorState* state);

// ft/min to the server's unit, 1/256 m/s, rounded to nearest.
int32_t EmulatorRawFromFpm(double fpm);
double EmulatorFpmFromRaw(int32_t raw);

// Stores the profiles' values for the given time since start into the item table.
void EmulatorUpdateProfiles(EmulatorState* state, double seconds);

// Serves the request list at area (size bytes) in place and returns the answer to give: 1, or
// 0 in answer0 mode. Never reads or writes outside the area.
uint32_t EmulatorServe(EmulatorState* state, uint8_t* area, uint32_t size);

// Runs one command line ("vs-fpm 1000", "mode answer0", ...). Writes the acknowledgement or the
// error into reply; returns false for a bad command. Sets *quit for "quit".
bool EmulatorCommand(EmulatorState* state, const char* line, char* reply, size_t replySize,
                     bool* quit);

// The list of commands, for --help.
extern const char* const EmulatorCommandHelp;
