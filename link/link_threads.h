// The two link threads: the connector opens the link once a second while it is down; the
// reader, while the main loop sees the link up, exchanges two reads with the server about once
// a millisecond and publishes them in LinkReadings. Every call into the link client is made
// holding LinkLock; linkUp changes only under it, in the same stretch as the open or close.
#pragma once

#include <cstdint>

struct PlatformLock;

constexpr uint32_t VerticalSpeedOffset = 0x02C8; // 4 bytes, 1/256 m/s
constexpr uint32_t LightsOffset = 0x0280;        // 1 byte
constexpr uint32_t ConnectorIntervalMs = 1000;
constexpr uint32_t ReaderIntervalMs = 1;

// The one lock of the link; created by StartLink and never destroyed.
extern PlatformLock* LinkLock;

// Start-up: creates LinkLock, then starts the connector. Does not wait for the link.
void StartLink();

// Starts the connector unless it is already running. False when it could not be started.
bool StartConnectorThread();

// Main thread only. Starts a reader unless one runs.
void EnsureReaderThread();

// Main thread only. Asks a running reader to end and waits until it has; the reader tests the
// request only where it holds no lock.
void StopReaderThread();

// Whether a reader thread exists (started and not yet stopped), for tests.
bool ReaderThreadExists();
