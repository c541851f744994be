// The client side of the simulator data server's request protocol: one link per process,
// batches of read and write records in a named shared area, one message per batch. Not safe
// for concurrent use: the caller serialises every call.
#pragma once

#include <cstdint>

struct LinkPlatform;

typedef uint32_t LinkResult;

constexpr LinkResult LinkOk = 0;
constexpr LinkResult LinkErrAlreadyOpen = 1;
constexpr LinkResult LinkErrNoServer = 2;
constexpr LinkResult LinkErrRegisterMessage = 3;
constexpr LinkResult LinkErrAtom = 4;
constexpr LinkResult LinkErrMapping = 5;
constexpr LinkResult LinkErrView = 6;
constexpr LinkResult LinkErrVersion = 7;
constexpr LinkResult LinkErrWrongSimulator = 8;
constexpr LinkResult LinkErrNotOpen = 9;
constexpr LinkResult LinkErrNothingQueued = 10;
constexpr LinkResult LinkErrNoReply = 11;
constexpr LinkResult LinkErrSendFailed = 12;
constexpr LinkResult LinkErrBadReply = 13;
constexpr LinkResult LinkErrFallbackVersion = 14;
constexpr LinkResult LinkErrQueueFull = 15;

constexpr uint32_t LinkAreaSize = 0x8000;
constexpr uint32_t LinkQueueLimit = 0x7F00;
constexpr uint32_t LinkSendAttempts = 9;
constexpr uint32_t LinkSendTimeoutMs = 2000;
constexpr uint32_t LinkRetryPauseMs = 100;
constexpr uint32_t LinkHandshakePasses = 5;
constexpr uint32_t LinkMinServerVersion = 0x19980005;
constexpr uint32_t LinkServerMark = 0xFADE;
constexpr uint16_t LinkHandshakeWord = 2002;

constexpr uint32_t LinkRecordEnd = 0;
constexpr uint32_t LinkRecordRead = 1;
constexpr uint32_t LinkRecordWrite = 2;

constexpr uint32_t LinkReadHeaderSize = 16;
constexpr uint32_t LinkWriteHeaderSize = 12;

// Most records one batch can hold: zero-length writes take 12 bytes each but pass the
// capacity test only while 16 more bytes fit.
constexpr uint32_t LinkMaxRecords = (LinkQueueLimit - 16) / LinkWriteHeaderSize + 1;
// Most reads one batch can hold.
constexpr uint32_t LinkMaxReads = LinkQueueLimit / LinkReadHeaderSize;

constexpr const char* LinkServerClass = "UIPCMAIN";
constexpr const char* LinkFallbackServerClass = "FS98MAIN";
constexpr const char* LinkMessageName = "FsasmLib:IPC";
constexpr const char* LinkAreaNameFormat = "FsasmLib:IPC:%X:%X";

// Handshake items.
constexpr uint32_t LinkVersionOffset = 0x3304;
constexpr uint32_t LinkKindOffset = 0x3308;
constexpr uint32_t LinkHandshakeWordOffset = 0x330A;

// Opens the link and runs the handshake. simulatorKind 0 accepts any server.
bool SimLinkOpen(uint32_t simulatorKind, LinkResult* result);
// Appends a read record; destination (length bytes, or null) is written only by a later
// successful SimLinkProcess.
bool SimLinkQueueRead(uint32_t offset, uint32_t length, void* destination, LinkResult* result);
// Appends a write record; the bytes are copied at once.
bool SimLinkQueueWrite(uint32_t offset, uint32_t length, const void* source, LinkResult* result);
// Sends the queued records, delivers the read data and empties the queue.
bool SimLinkProcess(LinkResult* result);
// Releases everything the link holds; harmless at any time.
void SimLinkClose();

// Chooses the platform the link uses from now on; null goes back to the system's.
void SimLinkSetPlatform(const LinkPlatform* platform);

// What tests need to see of the link state.
struct SimLinkView {
    bool isOpen;
    uint32_t queuedBytes; // next - base
    uint32_t openCounter;
    uint32_t serverVersion;
    uint32_t serverKind;
    uintptr_t serverWindow;
    uint32_t message;
    uint16_t atom;
    uintptr_t mapping;
    const uint8_t* base;
};
SimLinkView SimLinkInspect();
