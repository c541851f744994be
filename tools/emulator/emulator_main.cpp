// The data-server emulator: a console program that owns a hidden top-level window of class
// "UIPCMAIN" (or "FS98MAIN") and serves the request protocol on it, from its own table of data
// items, with profiles for the vertical speed and the lights and fault modes for tests. Reads
// commands on stdin, one per line, and acknowledges each on stdout.
#include "tools/emulator/emulator_core.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Emulator {
    CRITICAL_SECTION lock;
    EmulatorState state;
    UINT message;
    HWND window;
    ULONGLONG startTicks;
    double quitAfterS;
    bool onlyIfNoServer;
};

Emulator Emu;

const char* const Usage =
    "Usage: tovaline_emulator [options]\n"
    "Serves the simulator data-server protocol for the Tovaline gauge and its tests.\n"
    "\n"
    "Options:\n"
    "  --help                 this text\n"
    "  --class NAME           UIPCMAIN (default) or FS98MAIN\n"
    "  --quit-after S         ends after S seconds\n"
    "  --if-no-server         ends at once, with exit code 3, when a data server (a window of\n"
    "                         class UIPCMAIN or FS98MAIN) is already running\n"
    "  --COMMAND ARG...       any command below, run before serving starts\n"
    "\n"
    "Commands, on stdin one per line (each answered with 'ok ...' or 'error: ...'):\n";

// Each line goes out whole and at once, so that a test reading the pipe sees it.
void Say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

uint32_t Serve(WPARAM wParam)
{
    char name[256];
    if (GlobalGetAtomNameA(ATOM(wParam), name, sizeof name) == 0)
        return 0;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
    if (!mapping)
        return 0;
    uint32_t answer = 0;
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    if (view) {
        MEMORY_BASIC_INFORMATION region;
        SIZE_T size = 0;
        if (VirtualQuery(view, &region, sizeof region) == sizeof region)
            size = region.RegionSize;
        if (size > 0x8000)
            size = 0x8000;
        EnterCriticalSection(&Emu.lock);
        EmulatorUpdateProfiles(&Emu.state, double(GetTickCount64() - Emu.startTicks) / 1000.0);
        answer = EmulatorServe(&Emu.state, static_cast<uint8_t*>(view), uint32_t(size));
        LeaveCriticalSection(&Emu.lock);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return answer;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == Emu.message && Emu.message != 0) {
        EnterCriticalSection(&Emu.lock);
        bool noAnswer = Emu.state.mode == EmulatorNoAnswer;
        LeaveCriticalSection(&Emu.lock);
        if (noAnswer) {
            // The sender gives up first; what it left queued is not served.
            Sleep(EmulatorNoAnswerMs);
            return 0;
        }
        return LRESULT(Serve(wParam));
    }
    switch (message) {
    case WM_TIMER:
        Say("quit: time is up");
        DestroyWindow(window);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

DWORD WINAPI CommandThread(LPVOID)
{
    char line[512];
    while (std::fgets(line, sizeof line, stdin)) {
        if (line[strspn(line, " \t\r\n")] == '\0')
            continue;
        char reply[256];
        bool quit = false;
        EnterCriticalSection(&Emu.lock);
        EmulatorCommand(&Emu.state, line, reply, sizeof reply, &quit);
        LeaveCriticalSection(&Emu.lock);
        Say(reply);
        if (quit) {
            PostMessageA(Emu.window, WM_CLOSE, 0, 0);
            return 0;
        }
    }
    // The end of stdin is not a reason to stop: the emulator may run with no one typing.
    return 0;
}

bool Fail(const char* text, const char* what)
{
    std::fprintf(stderr, "tovaline_emulator: %s%s\n(see --help)\n", text, what);
    return false;
}

// Options are the commands with "--" in front, plus --class and --quit-after.
bool ParseArguments(int argc, char** argv, const char** className, bool* help)
{
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
            *help = true;
            return true;
        }
        if (std::strncmp(option, "--", 2) != 0)
            return Fail("not an option: ", option);
        // The words up to the next option are its arguments.
        int end = i + 1;
        while (end < argc && std::strncmp(argv[end], "--", 2) != 0)
            ++end;
        if (std::strcmp(option, "--class") == 0) {
            if (end != i + 2 || (std::strcmp(argv[i + 1], "UIPCMAIN") != 0 &&
                                 std::strcmp(argv[i + 1], "FS98MAIN") != 0))
                return Fail("--class takes UIPCMAIN or FS98MAIN", "");
            *className = argv[i + 1];
        } else if (std::strcmp(option, "--if-no-server") == 0) {
            if (end != i + 1)
                return Fail("--if-no-server takes no value", "");
            Emu.onlyIfNoServer = true;
        } else if (std::strcmp(option, "--quit-after") == 0) {
            char* stop = nullptr;
            double seconds = end == i + 2 ? std::strtod(argv[i + 1], &stop) : 0;
            if (end != i + 2 || *stop != '\0' || !(seconds > 0) || seconds > 1e6)
                return Fail("--quit-after takes a number of seconds above 0", "");
            Emu.quitAfterS = seconds;
        } else {
            char command[512];
            int used = std::snprintf(command, sizeof command, "%s", option + 2);
            for (int k = i + 1; k < end && used < int(sizeof command); ++k)
                used += std::snprintf(command + used, sizeof command - size_t(used), " %s", argv[k]);
            char reply[256];
            bool quit = false;
            if (!EmulatorCommand(&Emu.state, command, reply, sizeof reply, &quit) || quit)
                return Fail(quit ? "--quit is not an option" : reply, "");
        }
        i = end - 1;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    InitializeCriticalSection(&Emu.lock);
    EmulatorReset(&Emu.state);
    const char* className = "UIPCMAIN";
    bool help = false;
    if (!ParseArguments(argc, argv, &className, &help))
        return 2;
    if (help) {
        std::printf("%s%s", Usage, EmulatorCommandHelp);
        return 0;
    }

    if (Emu.onlyIfNoServer && (FindWindowExA(nullptr, nullptr, "UIPCMAIN", nullptr) ||
                               FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr))) {
        std::printf("a data server is already running\n");
        return 3;
    }

    Emu.message = RegisterWindowMessageA("FsasmLib:IPC");
    if (Emu.message == 0) {
        std::fprintf(stderr, "tovaline_emulator: cannot register the message\n");
        return 1;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) {
        std::fprintf(stderr, "tovaline_emulator: cannot register the window class %s\n", className);
        return 1;
    }
    // A top-level window, never shown: clients look it up by class among top-level windows.
    Emu.window = CreateWindowExA(0, className, "Tovaline data-server emulator", WS_OVERLAPPED,
                                 0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
    if (!Emu.window) {
        std::fprintf(stderr, "tovaline_emulator: cannot create the window\n");
        return 1;
    }
    Emu.startTicks = GetTickCount64();
    if (Emu.quitAfterS > 0)
        SetTimer(Emu.window, 1, UINT(Emu.quitAfterS * 1000), nullptr);
    HANDLE commands = CreateThread(nullptr, 0, CommandThread, nullptr, 0, nullptr);
    if (!commands) {
        std::fprintf(stderr, "tovaline_emulator: cannot start reading commands\n");
        return 1;
    }
    CloseHandle(commands);

    char ready[64];
    std::snprintf(ready, sizeof ready, "ready %s", className);
    Say(ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    Say("bye");
    // The command thread may sit in a read of stdin; ending the process ends it.
    ExitProcess(0);
}
