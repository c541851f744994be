// The link client's system operations on Win32: window lookup, the registered message, the
// global atom, the named paging-file area and the blocking send with time-out.
#include "link/link_platform.h"

#include <windows.h>

namespace {

uintptr_t Win32FindWindow(const char* className)
{
    return reinterpret_cast<uintptr_t>(FindWindowExA(nullptr, nullptr, className, nullptr));
}

uint32_t Win32RegisterMessage(const char* name)
{
    return RegisterWindowMessageA(name);
}

uint32_t Win32CurrentProcessId()
{
    return GetCurrentProcessId();
}

uint16_t Win32AddAtom(const char* name)
{
    return GlobalAddAtomA(name);
}

void Win32DeleteAtom(uint16_t atom)
{
    GlobalDeleteAtom(atom);
}

uintptr_t Win32CreateMapping(const char* name, uint32_t size, bool* alreadyExists)
{
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    *alreadyExists = mapping != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    return reinterpret_cast<uintptr_t>(mapping);
}

void* Win32MapView(uintptr_t mapping, uint32_t size)
{
    return MapViewOfFile(reinterpret_cast<HANDLE>(mapping), FILE_MAP_WRITE, 0, 0, size);
}

void Win32UnmapView(void* base)
{
    UnmapViewOfFile(base);
}

void Win32CloseHandle(uintptr_t handle)
{
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

// The error is cleared first so that what is left afterwards belongs to this send alone.
bool Win32SendMessage(uintptr_t window, uint32_t message, uintptr_t wParam, uint32_t timeoutMs,
                      uintptr_t* answer, bool* platformError)
{
    DWORD_PTR reply = 0;
    SetLastError(0);
    LRESULT sent = SendMessageTimeoutA(reinterpret_cast<HWND>(window), message, wParam, 0,
                                       SMTO_BLOCK, timeoutMs, &reply);
    *platformError = sent == 0 && GetLastError() != 0;
    *answer = reply;
    return sent != 0;
}

void Win32Pause(uint32_t ms)
{
    Sleep(ms);
}

const LinkPlatform Win32Platform = {Win32FindWindow, Win32RegisterMessage, Win32CurrentProcessId,
                                    Win32AddAtom,    Win32DeleteAtom,      Win32CreateMapping,
                                    Win32MapView,    Win32UnmapView,       Win32CloseHandle,
                                    Win32SendMessage, Win32Pause};

} // namespace

const LinkPlatform* LinkSystemPlatform()
{
    return &Win32Platform;
}
