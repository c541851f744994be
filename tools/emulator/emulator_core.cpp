// The data-server emulator's portable half; see emulator_core.h.
#include "tools/emulator/emulator_core.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const double MetresPerFoot = 1.0 / 3.2808399;
const double Pi = 3.14159265358979323846;

uint32_t Get32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void Put32(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
    at[2] = uint8_t(value >> 16);
    at[3] = uint8_t(value >> 24);
}

bool IsHandshakeItem(uint32_t item)
{
    return item >= EmulatorVersionItem && item < EmulatorKindItem + 4;
}

// The handshake items come from the settings, not the table, so that the client's write of
// 0x330A cannot overwrite the mark it reads from 0x3308.
uint8_t ItemByte(const EmulatorState* state, uint32_t item)
{
    if (item >= EmulatorItemSpace)
        return 0;
    if (IsHandshakeItem(item)) {
        uint32_t version = state->mode == EmulatorWrongVersion ? EmulatorGoodVersion - 1
                                                                : state->version;
        uint16_t mark = state->mode == EmulatorWrongMark ? 0xDEAD : state->mark;
        uint16_t kind = state->mode == EmulatorWrongKind ? uint16_t(state->kind + 1) : state->kind;
        uint32_t value = item < EmulatorKindItem ? version : uint32_t(mark) << 16 | kind;
        return uint8_t(value >> (8 * ((item - EmulatorVersionItem) % 4)));
    }
    return state->items[item];
}

void ApplyWrite(EmulatorState* state, uint32_t offset, uint32_t length, const uint8_t* data)
{
    if (offset == EmulatorHandshakeWordItem && length == 2)
        ++state->handshakeWrites;
    for (uint32_t i = 0; i < length; ++i) {
        uint64_t item = uint64_t(offset) + i;
        if (item < EmulatorItemSpace && !IsHandshakeItem(uint32_t(item)))
            state->items[item] = data[i];
    }
}

void SpoilHeader(EmulatorState* state, uint8_t* area, const uint32_t* starts, uint32_t count)
{
    if (count == 0)
        return;
    uint8_t* first = area + starts[0];
    switch (state->hostileChanges++ % 4) {
    case 0: // a length that runs far past the area
        Put32(first + 8, 0xFFFFFFF0u);
        break;
    case 1: // the other kind of record
        Put32(first, Get32(first) == 1 ? 2 : 1);
        break;
    case 2: // one byte longer than queued
        Put32(first + 8, Get32(first + 8) + 1);
        break;
    default: // a destination nobody queued
        if (Get32(first) == 1)
            Put32(first + 12, 0x7FFF);
        else
            Put32(first + 4, Get32(first + 4) ^ 0x8000);
        break;
    }
}

bool ParseInt(const char* text, long long low, long long high, int base, long long* value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text, &end, base);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

bool ParseSeconds(const char* text, double* value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    double parsed = std::strtod(text, &end);
    if (*end != '\0' || !(parsed > 0) || !(parsed < 1e6))
        return false;
    *value = parsed;
    return true;
}

struct ModeName {
    const char* name;
    EmulatorMode mode;
};
const ModeName ModeNames[] = {
    {"normal", EmulatorNormal},
    {"answer0", EmulatorAnswer0},
    {"noanswer", EmulatorNoAnswer},
    {"unknown-type", EmulatorUnknownType},
    {"wrong-version", EmulatorWrongVersion},
    {"wrong-mark", EmulatorWrongMark},
    {"wrong-kind", EmulatorWrongKind},
    {"hostile", EmulatorHostile},
};

const char* const ProfileNames[] = {"steady", "climb", "descent", "oscillate"};

} // namespace

const char* const EmulatorCommandHelp =
    "  vs-fpm N              steady vertical speed in ft/min\n"
    "  vs-raw N              steady vertical speed in 1/256 m/s (item 0x02C8)\n"
    "  vs-profile P          steady, climb, descent or oscillate\n"
    "  amplitude-fpm N       top speed of climb, descent and oscillate (default 6000)\n"
    "  period S              seconds of one climb, descent or oscillation (default 20)\n"
    "  lights V              on, off or toggle (item 0x0280)\n"
    "  lights-period S       seconds between two toggles (default 2)\n"
    "  mode M                normal, answer0, noanswer, unknown-type, wrong-version,\n"
    "                        wrong-mark, wrong-kind or hostile\n"
    "  unknown-type-record N which record unknown-type spoils, from 0 (default 1)\n"
    "  version HEX           version served at 0x3304 (default 19980005)\n"
    "  mark HEX              high half served at 0x3308 (default FADE)\n"
    "  kind N                simulator kind, low half served at 0x3308 (default 8)\n"
    "  poke OFFSET HEX...    stores bytes in the item table\n"
    "  stats                 prints the counters\n"
    "  quit                  ends the emulator\n";

void EmulatorReset(EmulatorState* state)
{
    std::memset(state, 0, sizeof *state);
    state->version = EmulatorGoodVersion;
    state->mark = EmulatorGoodMark;
    state->kind = 8;
    state->mode = EmulatorNormal;
    state->unknownTypeRecord = 1;
    state->vsProfile = EmulatorVsSteady;
    state->amplitudeFpm = 6000;
    state->periodS = 20;
    state->lightsPeriodS = 2;
}

int32_t EmulatorRawFromFpm(double fpm)
{
    return int32_t(std::lround(fpm * MetresPerFoot / 60.0 * 256.0));
}

double EmulatorFpmFromRaw(int32_t raw)
{
    return raw * 60.0 * 3.2808399 / 256.0;
}

void EmulatorUpdateProfiles(EmulatorState* state, double seconds)
{
    double fraction = seconds / state->periodS;
    double ramp = fraction < 1 ? fraction : 1;
    int32_t raw = state->steadyRaw;
    switch (state->vsProfile) {
    case EmulatorVsClimb:
        raw = EmulatorRawFromFpm(state->amplitudeFpm * ramp);
        break;
    case EmulatorVsDescent:
        raw = EmulatorRawFromFpm(-state->amplitudeFpm * ramp);
        break;
    case EmulatorVsOscillate:
        raw = EmulatorRawFromFpm(state->amplitudeFpm * std::sin(2 * Pi * fraction));
        break;
    default:
        break;
    }
    Put32(state->items + EmulatorVerticalSpeedItem, uint32_t(raw));
    uint8_t lights = state->lights;
    if (state->lightsToggle)
        lights = uint64_t(seconds / state->lightsPeriodS) % 2 ? 1 : 0;
    state->items[EmulatorLightsItem] = lights;
}

uint32_t EmulatorServe(EmulatorState* state, uint8_t* area, uint32_t size)
{
    if (state->mode == EmulatorAnswer0) {
        ++state->refused;
        return 0;
    }
    uint32_t starts[64];
    uint32_t count = 0;
    uint32_t at = 0;
    while (uint64_t(at) + 4 <= size) {
        uint32_t type = Get32(area + at);
        uint32_t header = type == 1 ? 16 : 12;
        if ((type != 1 && type != 2) || uint64_t(at) + header > size)
            break;
        uint32_t offset = Get32(area + at + 4);
        uint32_t length = Get32(area + at + 8);
        if (uint64_t(at) + header + length > size)
            break;
        uint8_t* data = area + at + header;
        if (type == 1) {
            for (uint32_t i = 0; i < length; ++i)
                data[i] = ItemByte(state, uint32_t(uint64_t(offset) + i));
        } else {
            ApplyWrite(state, offset, length, data);
        }
        if (count < 64)
            starts[count++] = at;
        at += header + length;
    }
    ++state->served;
    if (state->mode == EmulatorUnknownType && count > 0) {
        uint32_t spoiled = state->unknownTypeRecord < count ? state->unknownTypeRecord : count - 1;
        Put32(area + starts[spoiled], 0x7A7A);
    }
    if (state->mode == EmulatorHostile)
        SpoilHeader(state, area, starts, count);
    return 1;
}

bool EmulatorCommand(EmulatorState* state, const char* line, char* reply, size_t replySize,
                     bool* quit)
{
    char copy[512];
    std::snprintf(copy, sizeof copy, "%s", line);
    char* words[40];
    int count = 0;
    for (char* word = std::strtok(copy, " \t\r\n"); word && count < 40;
         word = std::strtok(nullptr, " \t\r\n"))
        words[count++] = word;
    if (count == 0) {
        std::snprintf(reply, replySize, "error: empty command");
        return false;
    }
    const char* name = words[0];
    const char* arg = count > 1 ? words[1] : nullptr;
    bool oneArg = count == 2;
    long long number = 0;
    double seconds = 0;
    bool ok = false;

    if (std::strcmp(name, "quit") == 0 && count == 1) {
        *quit = true;
        ok = true;
    } else if (std::strcmp(name, "stats") == 0 && count == 1) {
        std::snprintf(reply, replySize, "stats served %u refused %u handshake-writes %u",
                      unsigned(state->served), unsigned(state->refused),
                      unsigned(state->handshakeWrites));
        return true;
    } else if (std::strcmp(name, "vs-fpm") == 0) {
        ok = oneArg && ParseInt(arg, -100000, 100000, 10, &number);
        if (ok) {
            state->vsProfile = EmulatorVsSteady;
            state->steadyRaw = EmulatorRawFromFpm(double(number));
        }
    } else if (std::strcmp(name, "vs-raw") == 0) {
        ok = oneArg && ParseInt(arg, INT32_MIN, INT32_MAX, 10, &number);
        if (ok) {
            state->vsProfile = EmulatorVsSteady;
            state->steadyRaw = int32_t(number);
        }
    } else if (std::strcmp(name, "vs-profile") == 0) {
        for (uint32_t i = 0; oneArg && i < 4 && !ok; ++i) {
            if (std::strcmp(arg, ProfileNames[i]) == 0) {
                state->vsProfile = EmulatorVsProfile(i);
                ok = true;
            }
        }
    } else if (std::strcmp(name, "amplitude-fpm") == 0) {
        ok = oneArg && ParseInt(arg, 0, 100000, 10, &number);
        if (ok)
            state->amplitudeFpm = double(number);
    } else if (std::strcmp(name, "period") == 0) {
        ok = oneArg && ParseSeconds(arg, &seconds);
        if (ok)
            state->periodS = seconds;
    } else if (std::strcmp(name, "lights-period") == 0) {
        ok = oneArg && ParseSeconds(arg, &seconds);
        if (ok)
            state->lightsPeriodS = seconds;
    } else if (std::strcmp(name, "lights") == 0 && oneArg) {
        ok = true;
        if (std::strcmp(arg, "on") == 0 || std::strcmp(arg, "1") == 0) {
            state->lightsToggle = false;
            state->lights = 1;
        } else if (std::strcmp(arg, "off") == 0 || std::strcmp(arg, "0") == 0) {
            state->lightsToggle = false;
            state->lights = 0;
        } else if (std::strcmp(arg, "toggle") == 0) {
            state->lightsToggle = true;
        } else {
            ok = false;
        }
    } else if (std::strcmp(name, "mode") == 0) {
        for (const ModeName& mode : ModeNames) {
            if (oneArg && std::strcmp(arg, mode.name) == 0) {
                state->mode = mode.mode;
                ok = true;
            }
        }
    } else if (std::strcmp(name, "unknown-type-record") == 0) {
        ok = oneArg && ParseInt(arg, 0, 63, 10, &number);
        if (ok)
            state->unknownTypeRecord = uint32_t(number);
    } else if (std::strcmp(name, "version") == 0) {
        ok = oneArg && ParseInt(arg, 0, UINT32_MAX, 16, &number);
        if (ok)
            state->version = uint32_t(number);
    } else if (std::strcmp(name, "mark") == 0) {
        ok = oneArg && ParseInt(arg, 0, 0xFFFF, 16, &number);
        if (ok)
            state->mark = uint16_t(number);
    } else if (std::strcmp(name, "kind") == 0) {
        ok = oneArg && ParseInt(arg, 0, 0xFFFF, 10, &number);
        if (ok)
            state->kind = uint16_t(number);
    } else if (std::strcmp(name, "poke") == 0 && count >= 3) {
        long long offset = 0;
        ok = ParseInt(arg, 0, EmulatorItemSpace - 1, 16, &offset) &&
             offset + (count - 2) <= EmulatorItemSpace;
        uint8_t bytes[40];
        for (int i = 2; ok && i < count; ++i) {
            ok = ParseInt(words[i], 0, 0xFF, 16, &number);
            bytes[i - 2] = uint8_t(number);
        }
        if (ok)
            std::memcpy(state->items + offset, bytes, size_t(count - 2));
    } else {
        std::snprintf(reply, replySize, "error: unknown command '%s'", name);
        return false;
    }
    if (!ok) {
        std::snprintf(reply, replySize, "error: bad argument for '%s'", name);
        return false;
    }
    std::snprintf(reply, replySize, "ok %s%s%s", name, arg ? " " : "", arg ? arg : "");
    return true;
}
