// The seam between the link client and the system: exactly the inter-process operations the
// client uses, as a table of function pointers so that tests can script every answer. Windows
// and handles are opaque numbers here; only the Win32 backend knows what they are.
#pragma once

#include <cstdint>

struct LinkPlatform {
    // A top-level window of that class, or 0.
    uintptr_t (*findWindow)(const char* className);
    // The number every process registering the same name receives; 0 on failure.
    uint32_t (*registerMessage)(const char* name);
    uint32_t (*currentProcessId)();
    // A non-zero atom in the system-wide table; 0 on failure.
    uint16_t (*addAtom)(const char* name);
    void (*deleteAtom)(uint16_t atom);
    // A named shared area of size bytes backed by the paging file, or 0. When the name exists
    // already the existing area's handle comes back with *alreadyExists set.
    uintptr_t (*createMapping)(const char* name, uint32_t size, bool* alreadyExists);
    // The whole area, readable and writable, or null.
    void* (*mapView)(uintptr_t mapping, uint32_t size);
    void (*unmapView)(void* base);
    void (*closeHandle)(uintptr_t handle);
    // Sends message with wParam to window, waiting at most timeoutMs without handling other
    // messages. True with *answer set when the window answered in time; false otherwise, with
    // *platformError telling whether the system gave an error for the failure.
    bool (*sendMessage)(uintptr_t window, uint32_t message, uintptr_t wParam, uint32_t timeoutMs,
                        uintptr_t* answer, bool* platformError);
    // A plain pause, not at raised timer resolution.
    void (*pause)(uint32_t ms);
};

// The system's table: Win32 on Windows; elsewhere one that finds no server window.
const LinkPlatform* LinkSystemPlatform();
