// The link client: link state, queueing into the shared area, the handshake and the walk over
// the answered list. Reaches the system only through the LinkPlatform table. The walk trusts
// nothing the server left in the area: it reads only inside the area and writes only to the
// destinations queued in this batch, never more bytes than were queued for each.
#include "link/sim_link.h"

#include "link/link_platform.h"

#include <cstdio>
#include <cstring>

namespace {

// A record as it was queued, to hold the server's copy against.
struct QueuedRecord {
    uint32_t type;
    uint32_t offset;
    uint32_t length;
    uint32_t destination; // the field as written: 1-based index into destinations, 0 none
};

struct Destination {
    void* address;
    uint32_t length;
};

struct LinkState {
    uintptr_t serverWindow;
    uint32_t message;
    uint16_t atom;
    uintptr_t mapping;
    uint8_t* base;
    uint8_t* next;
    uint32_t serverVersion;
    uint32_t serverKind;
    uint32_t openCounter;

    const LinkPlatform* platform;
    uint32_t recordCount;
    uint32_t destinationCount;
    QueuedRecord records[LinkMaxRecords];
    Destination destinations[LinkMaxReads];
};

LinkState Link;

const LinkPlatform* Platform()
{
    return Link.platform ? Link.platform : LinkSystemPlatform();
}

void Put32(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
    at[2] = uint8_t(value >> 16);
    at[3] = uint8_t(value >> 24);
}

uint32_t Get32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

void EmptyQueue()
{
    Link.next = Link.base;
    Link.recordCount = 0;
    Link.destinationCount = 0;
}

// The capacity test adds 16 for writes too, so one test serves both kinds of record.
bool Fits(uint32_t length)
{
    uint64_t used = uint64_t(Link.next - Link.base);
    return used + 16 + uint64_t(length) <= LinkQueueLimit && Link.recordCount < LinkMaxRecords;
}

// Walks the answered list. Every header must be the one queued at that place; the first that
// is not, like an unknown type word, has its type word cleared and ends the walk. As long as
// the headers match, every position lies where a queued record lay, inside the area.
void DeliverReads(uint32_t recordCount, uint32_t destinationCount)
{
    uint32_t at = 0;
    for (uint32_t i = 0;; ++i) {
        if (uint64_t(at) + 4 > LinkAreaSize)
            return;
        uint8_t* record = Link.base + at;
        uint32_t type = Get32(record);
        if (type == LinkRecordEnd)
            return;
        bool known = type == LinkRecordRead || type == LinkRecordWrite;
        uint32_t header = type == LinkRecordRead ? LinkReadHeaderSize : LinkWriteHeaderSize;
        bool matches = known && i < recordCount && uint64_t(at) + header <= LinkAreaSize;
        uint32_t length = 0;
        if (matches) {
            const QueuedRecord& queued = Link.records[i];
            length = Get32(record + 8);
            matches = type == queued.type && Get32(record + 4) == queued.offset &&
                      length == queued.length &&
                      (type != LinkRecordRead || Get32(record + 12) == queued.destination) &&
                      uint64_t(at) + header + length <= LinkAreaSize;
        }
        if (!matches) {
            Put32(record, LinkRecordEnd);
            return;
        }
        if (type == LinkRecordRead) {
            uint32_t index = Get32(record + 12);
            if (index != 0 && length != 0 && index <= destinationCount &&
                Link.destinations[index - 1].length == length)
                std::memcpy(Link.destinations[index - 1].address, record + header, length);
        }
        at += header + length;
    }
}

} // namespace

void SimLinkSetPlatform(const LinkPlatform* platform)
{
    Link.platform = platform;
}

SimLinkView SimLinkInspect()
{
    SimLinkView view;
    view.isOpen = Link.base != nullptr;
    view.queuedBytes = uint32_t(Link.next - Link.base);
    view.openCounter = Link.openCounter;
    view.serverVersion = Link.serverVersion;
    view.serverKind = Link.serverKind;
    view.serverWindow = Link.serverWindow;
    view.message = Link.message;
    view.atom = Link.atom;
    view.mapping = Link.mapping;
    view.base = Link.base;
    return view;
}

bool SimLinkQueueRead(uint32_t offset, uint32_t length, void* destination, LinkResult* result)
{
    if (!Link.base) {
        *result = LinkErrNotOpen;
        return false;
    }
    if (!Fits(length)) {
        *result = LinkErrQueueFull;
        return false;
    }
    uint32_t index = 0;
    if (destination) {
        Link.destinations[Link.destinationCount] = Destination{destination, length};
        index = ++Link.destinationCount;
    }
    Link.records[Link.recordCount++] = QueuedRecord{LinkRecordRead, offset, length, index};
    Put32(Link.next, LinkRecordRead);
    Put32(Link.next + 4, offset);
    Put32(Link.next + 8, length);
    Put32(Link.next + 12, index);
    std::memset(Link.next + LinkReadHeaderSize, 0, length);
    Link.next += LinkReadHeaderSize + length;
    *result = LinkOk;
    return true;
}

bool SimLinkQueueWrite(uint32_t offset, uint32_t length, const void* source, LinkResult* result)
{
    if (!Link.base) {
        *result = LinkErrNotOpen;
        return false;
    }
    if (!Fits(length)) {
        *result = LinkErrQueueFull;
        return false;
    }
    Link.records[Link.recordCount++] = QueuedRecord{LinkRecordWrite, offset, length, 0};
    Put32(Link.next, LinkRecordWrite);
    Put32(Link.next + 4, offset);
    Put32(Link.next + 8, length);
    if (length != 0)
        std::memcpy(Link.next + LinkWriteHeaderSize, source, length);
    Link.next += LinkWriteHeaderSize + length;
    *result = LinkOk;
    return true;
}

bool SimLinkProcess(LinkResult* result)
{
    if (!Link.base) {
        *result = LinkErrNotOpen;
        return false;
    }
    if (Link.next == Link.base) {
        *result = LinkErrNothingQueued;
        return false;
    }
    Put32(Link.next, LinkRecordEnd);
    uint32_t recordCount = Link.recordCount;
    uint32_t destinationCount = Link.destinationCount;
    EmptyQueue();

    const LinkPlatform* platform = Platform();
    uintptr_t answer = 0;
    bool sent = false;
    bool platformError = false;
    for (uint32_t attempt = 0; attempt < LinkSendAttempts && !sent; ++attempt) {
        platformError = false;
        sent = platform->sendMessage(Link.serverWindow, Link.message, Link.atom, LinkSendTimeoutMs,
                                     &answer, &platformError);
        if (!sent)
            platform->pause(LinkRetryPauseMs);
    }
    if (!sent) {
        *result = platformError ? LinkErrSendFailed : LinkErrNoReply;
        return false;
    }
    if (answer != 1) {
        *result = LinkErrBadReply;
        return false;
    }
    DeliverReads(recordCount, destinationCount);
    *result = LinkOk;
    return true;
}

void SimLinkClose()
{
    const LinkPlatform* platform = Platform();
    Link.serverWindow = 0;
    Link.message = 0;
    if (Link.atom != 0) {
        platform->deleteAtom(Link.atom);
        Link.atom = 0;
    }
    if (Link.base) {
        platform->unmapView(Link.base);
        Link.base = nullptr;
    }
    if (Link.mapping) {
        platform->closeHandle(Link.mapping);
        Link.mapping = 0;
    }
}

namespace {

bool FailOpen(LinkResult code, LinkResult* result)
{
    SimLinkClose();
    *result = code;
    return false;
}

bool Handshake(LinkResult* result)
{
    static const uint8_t word[2] = {uint8_t(LinkHandshakeWord), uint8_t(LinkHandshakeWord >> 8)};
    for (uint32_t pass = 1; pass <= LinkHandshakePasses; ++pass) {
        if (pass > 1 && Link.serverVersion != 0 && Link.serverKind != 0)
            break;
        if (!SimLinkQueueRead(LinkVersionOffset, 4, &Link.serverVersion, result) ||
            !SimLinkQueueRead(LinkKindOffset, 4, &Link.serverKind, result))
            return false;
        if (pass == 1 && !SimLinkQueueWrite(LinkHandshakeWordOffset, 2, word, result))
            return false;
        if (!SimLinkProcess(result))
            return false;
        Platform()->pause(LinkRetryPauseMs);
    }
    return true;
}

} // namespace

bool SimLinkOpen(uint32_t simulatorKind, LinkResult* result)
{
    if (Link.base) {
        *result = LinkErrAlreadyOpen;
        return false;
    }
    const LinkPlatform* platform = Platform();
    Link.serverVersion = 0;
    Link.serverKind = 0;
    bool usedFallbackClass = false;

    Link.serverWindow = platform->findWindow(LinkServerClass);
    if (!Link.serverWindow) {
        Link.serverWindow = platform->findWindow(LinkFallbackServerClass);
        usedFallbackClass = true;
    }
    if (!Link.serverWindow) {
        *result = LinkErrNoServer;
        return false;
    }
    Link.message = platform->registerMessage(LinkMessageName);
    if (Link.message == 0) {
        Link.serverWindow = 0;
        *result = LinkErrRegisterMessage;
        return false;
    }

    ++Link.openCounter;
    char name[64];
    std::snprintf(name, sizeof name, LinkAreaNameFormat, unsigned(platform->currentProcessId()),
                  unsigned(Link.openCounter));
    Link.atom = platform->addAtom(name);
    if (Link.atom == 0)
        return FailOpen(LinkErrAtom, result);
    bool alreadyExists = false;
    Link.mapping = platform->createMapping(name, LinkAreaSize, &alreadyExists);
    if (!Link.mapping || alreadyExists)
        return FailOpen(LinkErrMapping, result);
    Link.base = static_cast<uint8_t*>(platform->mapView(Link.mapping, LinkAreaSize));
    if (!Link.base)
        return FailOpen(LinkErrView, result);
    EmptyQueue();

    if (!Handshake(result)) {
        SimLinkClose();
        return false;
    }
    if (Link.serverVersion < LinkMinServerVersion || (Link.serverKind >> 16) != LinkServerMark)
        return FailOpen(usedFallbackClass ? LinkErrFallbackVersion : LinkErrVersion, result);
    Link.serverKind &= 0xFFFF;
    if (simulatorKind != 0 && simulatorKind != Link.serverKind)
        return FailOpen(LinkErrWrongSimulator, result);
    *result = LinkOk;
    return true;
}

#if !defined(_WIN32)
// Without Win32 there is no data server to reach: the window lookup always fails, so an open
// ends with no server before anything else is asked of the system.
namespace {
uintptr_t NoWindow(const char*) { return 0; }
uint32_t NoMessage(const char*) { return 0; }
uint32_t NoProcessId() { return 0; }
uint16_t NoAtom(const char*) { return 0; }
void NoDeleteAtom(uint16_t) {}
uintptr_t NoMapping(const char*, uint32_t, bool*) { return 0; }
void* NoView(uintptr_t, uint32_t) { return nullptr; }
void NoUnmap(void*) {}
void NoClose(uintptr_t) {}
bool NoSend(uintptr_t, uint32_t, uintptr_t, uint32_t, uintptr_t*, bool* platformError)
{
    *platformError = true;
    return false;
}
void NoPause(uint32_t) {}
const LinkPlatform NoServerPlatform = {NoWindow, NoMessage, NoProcessId, NoAtom,
                                       NoDeleteAtom, NoMapping, NoView, NoUnmap,
                                       NoClose, NoSend, NoPause};
} // namespace

const LinkPlatform* LinkSystemPlatform()
{
    return &NoServerPlatform;
}
#endif
