// tovaline_bench_win: the Windows figures of scripts/bench, each measured side by side with a
// bare program that does only the underlying mechanism, in the same run. Prints one line per
// figure: name;unit;project;baseline. Times from QueryPerformanceCounter; CPU from
// GetProcessTimes, whose resolution under Wine is the scheduler tick, so short intervals are
// coarse. Not a test: nothing here passes or fails on a figure.
#include "app/shared.h"
#include "gauge/frame.h"
#include "gauge/sprite_layer.h"
#include "link/sim_link.h"
#include "tests/app/child_process.h"

#include <windows.h>
#include <d3d9.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static const char Usage[] =
    "usage: tovaline_bench_win COMMAND [options]\n"
    "\n"
    "Commands:\n"
    "  exchange [--count N]    link round trip (SimLinkProcess, two reads) against the emulator,\n"
    "                          versus a bare SendMessageTimeout round trip (default N 5000)\n"
    "  frame [--count N]       DrawGaugeFrame on Direct3D 9 with presentation, versus a bare\n"
    "                          Direct3D 9 clear and present (default N 300)\n"
    "  gauge [--seconds S]     the real gauge: start-up to first frame, CPU per second with the\n"
    "                          link down and up over S seconds each, working set; versus the\n"
    "                          bare window (default S 10)\n"
    "  bare-window up|down     the bare Direct3D 9 window: one frame and the main loop's pauses\n"
    "                          (10 ms with the link up, 20 ms down) per pass, until killed\n"
    "\n"
    "Output: one line per figure, name;unit;project;baseline.\n";

static struct BenchState {
    std::string self;
    std::string gaugePath;
    std::string emulatorPath;
    LARGE_INTEGER frequency;
} bench;

static int Fail(const std::string& message)
{
    std::fprintf(stderr, "tovaline_bench_win: %s\n(see tovaline_bench_win --help)\n", message.c_str());
    return 2;
}

static double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(bench.frequency.QuadPart);
}

static double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t i = size_t(p * double(v.size() - 1) + 0.5);
    return v[i];
}

static void Figure(const char* name, const char* unit, double project, double baseline)
{
    std::printf("%s;%s;%.4g;%.4g\n", name, unit, project, baseline);
    std::fflush(stdout);
}

static bool StartEmulator(ChildProcess* emulator, const std::string& options)
{
    if (!emulator->Start(bench.emulatorPath, options, "", true))
        return false;
    return emulator->ReadLine().rfind("ready", 0) == 0;
}

// ---- Exchange round trip ------------------------------------------------------------------

static int Exchange(int count)
{
    ChildProcess emulator;
    if (!StartEmulator(&emulator, "--vs-raw 512 --lights on"))
        return Fail("the emulator did not start: " + bench.emulatorPath);
    LinkResult result = 0;
    if (!SimLinkOpen(0, &result))
        return Fail("the link did not open, result " + std::to_string(result));

    // The bare side: its own atom and area holding the same two records, sent by hand.
    int32_t vs = 0;
    uint8_t lights = 0;
    SimLinkQueueRead(0x02C8, 4, &vs, &result);
    SimLinkQueueRead(0x0280, 1, &lights, &result);
    uint32_t used = SimLinkInspect().queuedBytes + 4;
    char name[64];
    std::snprintf(name, sizeof name, "FsasmLib:IPC:%X:%X", unsigned(GetCurrentProcessId()), 0xBA5Eu);
    ATOM atom = GlobalAddAtomA(name);
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0x8000, name);
    uint8_t* area = mapping ? static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
    if (!atom || !area)
        return Fail("the bare area could not be made");
    std::memcpy(area, SimLinkInspect().base, used);
    SimLinkProcess(&result);
    HWND server = FindWindowExA(nullptr, nullptr, "UIPCMAIN", nullptr);
    UINT message = RegisterWindowMessageA("FsasmLib:IPC");

    std::vector<double> project, bare;
    project.reserve(count);
    bare.reserve(count);
    // Interleaved blocks, so that drift of the machine falls on both alike.
    const int block = 250;
    for (int done = 0; done < count; done += block) {
        for (int i = 0; i < block; ++i) {
            double t0 = NowMs();
            bool ok = SimLinkQueueRead(0x02C8, 4, &vs, &result) &&
                      SimLinkQueueRead(0x0280, 1, &lights, &result) && SimLinkProcess(&result);
            project.push_back(NowMs() - t0);
            if (!ok)
                return Fail("an exchange failed, result " + std::to_string(result));
        }
        for (int i = 0; i < block; ++i) {
            DWORD_PTR answer = 0;
            double t0 = NowMs();
            LRESULT sent = SendMessageTimeoutA(server, message, WPARAM(atom), 0, SMTO_BLOCK, 2000, &answer);
            bare.push_back(NowMs() - t0);
            if (!sent || answer != 1)
                return Fail("a bare send failed");
        }
    }
    Figure("exchange round trip p50", "ms", Percentile(project, 0.5), Percentile(bare, 0.5));
    Figure("exchange round trip p99", "ms", Percentile(project, 0.99), Percentile(bare, 0.99));
    SimLinkClose();
    UnmapViewOfFile(area);
    CloseHandle(mapping);
    GlobalDeleteAtom(atom);
    return 0;
}

// ---- A window and a bare Direct3D 9 device -------------------------------------------------

static LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    return DefWindowProcA(window, message, w, l);
}

static HWND OpenWindow(const char* title)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BenchWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TovalineBench";
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    RECT r = {0, 0, SurfaceWidth, SurfaceHeight};
    DWORD style = WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&r, style, FALSE, 0);
    HWND window = CreateWindowExA(0, "TovalineBench", title, style, 320, 0, r.right - r.left,
                                  r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (window)
        ShowWindow(window, SW_SHOW);
    return window;
}

static void DrainMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct BareDevice {
    HMODULE library = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

// The same kind of device the gauge opens: windowed, one 290 x 290 back buffer, presentation
// interval one.
static bool OpenBareDevice(HWND window, BareDevice* bare)
{
    using Create = IDirect3D9*(WINAPI*)(UINT);
    bare->library = LoadLibraryA("d3d9.dll");
    Create create = bare->library ? reinterpret_cast<Create>(reinterpret_cast<void*>(
                                        GetProcAddress(bare->library, "Direct3DCreate9")))
                                  : nullptr;
    bare->d3d = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!bare->d3d)
        return false;
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    pp.BackBufferWidth = SurfaceWidth;
    pp.BackBufferHeight = SurfaceHeight;
    pp.BackBufferCount = 1;
    pp.hDeviceWindow = window;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    return SUCCEEDED(bare->d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                             D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &bare->device));
}

static void BareFrame(BareDevice* bare, D3DCOLOR colour)
{
    bare->device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
    bare->device->BeginScene();
    bare->device->EndScene();
    bare->device->Present(nullptr, nullptr, nullptr, nullptr);
}

static void CloseBareDevice(BareDevice* bare)
{
    if (bare->device)
        bare->device->Release();
    if (bare->d3d)
        bare->d3d->Release();
    *bare = BareDevice();
}

// The bare window's colour, which the runner looks for on the screen.
const D3DCOLOR BareColour = D3DCOLOR_XRGB(20, 200, 40);

static int BareWindow(bool linkUp)
{
    HWND window = OpenWindow("Tovaline bench bare window");
    BareDevice bare;
    if (!window || !OpenBareDevice(window, &bare))
        return Fail("no Direct3D 9 device");
    for (;;) {
        BareFrame(&bare, BareColour);
        if (!linkUp)
            SleepMs(10);
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        SleepMs(10);
    }
}

// ---- Frame cost on Direct3D 9 ----------------------------------------------------------------

static int FrameCost(int count)
{
    HWND window = OpenWindow("Tovaline bench frame");
    if (!window || !SpriteLayerInit() || !OpenSpriteSurface(window))
        return Fail("no Direct3D 9 surface");
    LoadGaugeSprites();
    LinkReadings.lights.store(1);
    GaugeSettings.light = 1;
    std::vector<double> project, bare;
    for (int i = 0; i < 20; ++i)
        DrawGaugeFrame(float(i), true);
    const int block = 50;
    for (int done = 0; done < count; done += block) {
        for (int i = 0; i < block; ++i) {
            double t0 = NowMs();
            DrawGaugeFrame(float((done + i) % 360) - 180.0f, (i & 1) != 0);
            project.push_back(NowMs() - t0);
            DrainMessages();
        }
    }
    CloseSpriteSurface();
    BareDevice device;
    if (!OpenBareDevice(window, &device))
        return Fail("no bare Direct3D 9 device");
    for (int i = 0; i < 20; ++i)
        BareFrame(&device, BareColour);
    for (int i = 0; i < count; ++i) {
        double t0 = NowMs();
        BareFrame(&device, BareColour);
        bare.push_back(NowMs() - t0);
        DrainMessages();
    }
    CloseBareDevice(&device);
    Figure("frame cost d3d9 with present p50", "ms", Percentile(project, 0.5), Percentile(bare, 0.5));
    Figure("frame cost d3d9 with present p99", "ms", Percentile(project, 0.99), Percentile(bare, 0.99));
    return 0;
}

// ---- The real gauge ----------------------------------------------------------------------------

struct FoundWindow {
    DWORD process;
    HWND window;
};

static BOOL CALLBACK FindVisible(HWND window, LPARAM data)
{
    FoundWindow* found = reinterpret_cast<FoundWindow*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == found->process && IsWindowVisible(window)) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

static HWND WindowOf(DWORD process)
{
    FoundWindow found = {process, nullptr};
    EnumWindows(FindVisible, LPARAM(&found));
    return found.window;
}

// One pixel of the client area as it stands on the screen.
static bool ScreenPixel(HWND window, int x, int y, uint8_t rgb[3])
{
    POINT at = {x, y};
    if (!ClientToScreen(window, &at))
        return false;
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    if (c == CLR_INVALID)
        return false;
    rgb[0] = GetRValue(c);
    rgb[1] = GetGValue(c);
    rgb[2] = GetBValue(c);
    return true;
}

static bool GaugeLampShown(HWND window)
{
    uint8_t p[3];
    return ScreenPixel(window, 50, 50, p) && p[0] > 150 && p[1] < 100;
}

static bool BareShown(HWND window)
{
    uint8_t p[3];
    return ScreenPixel(window, 145, 145, p) && p[0] == 20 && p[1] == 200 && p[2] == 40;
}

// Milliseconds from CreateProcess to the first frame seen on the screen, or -1.
template <typename Shown>
static double StartAndTime(ChildProcess* child, const std::string& exe, const std::string& options,
                           const std::string& folder, Shown shown)
{
    double t0 = NowMs();
    if (!child->Start(exe, options, folder))
        return -1;
    for (;;) {
        HWND window = WindowOf(child->id);
        if (window && shown(window))
            return NowMs() - t0;
        if (NowMs() - t0 > 20000) {
            uint8_t p[3] = {0, 0, 0};
            if (window)
                ScreenPixel(window, 50, 50, p);
            std::fprintf(stderr, "tovaline_bench_win: %s: %s, pixel (50, 50) %u %u %u\n", exe.c_str(),
                         window ? "window but no frame" : "no window", p[0], p[1], p[2]);
            return -1;
        }
        Sleep(1);
    }
}

// Under Wine GetProcessTimes reports nothing for another process, so the CPU time is read from
// the Unix side through drive Z: (/proc/PID/stat, in ticks of 1/100 s), for the Unix process
// whose first argument is exe (and whose second is argument, when given).
static std::string Normalised(std::string path)
{
    for (char& c : path)
        c = c == '\\' ? '/' : char(std::tolower(static_cast<unsigned char>(c)));
    if (path.size() > 2 && path[1] == ':')
        path.erase(0, 2);
    return path;
}

static std::string ReadSmallFile(const std::string& path)
{
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t got = std::fread(buffer, 1, sizeof buffer, f);
        text.assign(buffer, got);
        std::fclose(f);
    }
    return text;
}

static std::string UnixProcFolder(const std::string& exe, const char* argument)
{
    std::string wanted = Normalised(exe);
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return "";
    std::string found;
    do {
        if (!std::isdigit(static_cast<unsigned char>(entry.cFileName[0])))
            continue;
        std::string folder = std::string("Z:\\proc\\") + entry.cFileName;
        std::string line = ReadSmallFile(folder + "\\cmdline");
        size_t end = line.find('\0');
        std::string first = Normalised(line.substr(0, end));
        std::string second = end == std::string::npos ? "" : line.substr(end + 1, line.find('\0', end + 1) - end - 1);
        if (first == wanted && (!argument || second == argument)) {
            found = folder;
            break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

static double CpuMs(HANDLE process, const std::string& procFolder)
{
    if (!procFolder.empty()) {
        std::string stat = ReadSmallFile(procFolder + "\\stat");
        size_t close = stat.rfind(')');
        if (close != std::string::npos) {
            unsigned long long user = 0, kernel = 0;
            // After the name: state, then ten fields, then user and system time.
            if (std::sscanf(stat.c_str() + close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                            &user, &kernel) == 2)
                return double(user + kernel) * 10.0;
        }
    }
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user))
        return 0;
    auto ms = [](FILETIME t) {
        return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

static double WorkingSetKiB(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(process, &counters, sizeof counters))
        return 0;
    return double(counters.WorkingSetSize) / 1024.0;
}

// CPU milliseconds per second of both processes over the same interval.
static void CpuPerSecond(HANDLE a, HANDLE b, double seconds, double* perSecondA, double* perSecondB)
{
    std::string procA = UnixProcFolder(bench.gaugePath, nullptr);
    std::string procB = UnixProcFolder(bench.self, "bare-window");
    double a0 = CpuMs(a, procA), b0 = CpuMs(b, procB), t0 = NowMs();
    Sleep(DWORD(seconds * 1000));
    double elapsed = (NowMs() - t0) / 1000.0;
    *perSecondA = (CpuMs(a, procA) - a0) / elapsed;
    *perSecondB = (CpuMs(b, procB) - b0) / elapsed;
    if (procA.empty() || procB.empty())
        std::fprintf(stderr, "tovaline_bench_win: no Unix process found, CPU from GetProcessTimes\n");
}

static int Gauge(double seconds)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "tovaline-bench-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);

    ChildProcess gauge, bare, emulator;
    double gaugeStart = StartAndTime(&gauge, bench.gaugePath, "", folder,
                                     GaugeLampShown);
    if (gaugeStart < 0)
        return Fail("the gauge showed no frame within a minute: " + bench.gaugePath);
    double bareStart = StartAndTime(&bare, bench.self, "bare-window down", "", BareShown);
    if (bareStart < 0)
        return Fail("the bare window showed no frame within a minute");
    double startTicks = NowMs();
    Figure("start-up to first frame", "ms", gaugeStart, bareStart);

    Sleep(2000);
    double gaugeCpu = 0, bareCpu = 0;
    CpuPerSecond(gauge.process, bare.process, seconds, &gaugeCpu, &bareCpu);
    Figure("CPU per second, link down", "ms/s", gaugeCpu, bareCpu);

    bare.Kill();
    if (!StartEmulator(&emulator, "--vs-fpm 0"))
        return Fail("the emulator did not start");
    HWND window = WindowOf(gauge.id);
    if (!WaitFor([&] { return !GaugeLampShown(window); }, 30000))
        return Fail("the gauge did not show the link up");
    if (StartAndTime(&bare, bench.self, "bare-window up", "", BareShown) < 0)
        return Fail("the bare window showed no frame");
    Sleep(2000);
    CpuPerSecond(gauge.process, bare.process, seconds, &gaugeCpu, &bareCpu);
    Figure("CPU per second, link up", "ms/s", gaugeCpu, bareCpu);

    // The gauge has been running this long; the bare window a little less.
    Figure(("working set after " + std::to_string(int((NowMs() - startTicks) / 1000 + 0.5)) + " s").c_str(),
           "KiB", WorkingSetKiB(gauge.process), WorkingSetKiB(bare.process));

    // From outside, coarse: a change served by the emulator until the screen shows the needle
    // elsewhere, polled pixel by pixel along the needle's two positions.
    std::vector<double> latency;
    for (int i = 0; i < 30; ++i) {
        bool up = i % 2 == 0;
        // At +1000 ft/min the needle points up-left at 40 degrees; at -1000 down-left.
        int y = up ? 100 : 195;
        uint8_t before[3];
        ScreenPixel(window, 95, y, before);
        double t0 = NowMs();
        emulator.Command(up ? "vs-fpm 1000" : "vs-fpm -1000");
        bool seen = WaitFor([&] {
            uint8_t p[3];
            return ScreenPixel(window, 95, y, p) && p[0] > 200 && p[1] > 200 && p[2] > 200;
        }, 5000);
        if (seen)
            latency.push_back(NowMs() - t0);
        Sleep(50);
    }
    if (!latency.empty()) {
        Figure("latency change to screen p50 (coarse)", "ms", Percentile(latency, 0.5), 0);
        Figure("latency change to screen p99 (coarse)", "ms", Percentile(latency, 0.99), 0);
    }

    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = 0;
    gauge.WaitForExit(&code, 10000);
    gauge.Kill();
    DeleteFileA((folder + "\\Corvelle.ini").c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}

int main(int argc, char** argv)
{
    QueryPerformanceFrequency(&bench.frequency);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    bench.self = self;
    bench.gaugePath = TOVALINE_GAUGE_PATH;
    bench.emulatorPath = TOVALINE_EMULATOR_PATH;

    if (argc < 2)
        return Fail("a command is required");
    std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (command == "bare-window") {
        if (argc != 3 || (std::strcmp(argv[2], "up") != 0 && std::strcmp(argv[2], "down") != 0))
            return Fail("bare-window wants up or down");
        return BareWindow(std::strcmp(argv[2], "up") == 0);
    }
    double number = 0;
    bool hasNumber = false;
    if (argc == 4) {
        char* end = nullptr;
        number = std::strtod(argv[3], &end);
        if (end == argv[3] || *end != '\0' || number < 1 || number > 1e6)
            return Fail(std::string("not a usable number: ") + argv[3]);
        hasNumber = true;
    } else if (argc != 2) {
        return Fail("wrong number of arguments for " + command);
    }
    if (command == "exchange") {
        if (hasNumber && std::strcmp(argv[2], "--count") != 0)
            return Fail(std::string("unknown option ") + argv[2]);
        return Exchange(hasNumber ? int(number) : 5000);
    }
    if (command == "frame") {
        if (hasNumber && std::strcmp(argv[2], "--count") != 0)
            return Fail(std::string("unknown option ") + argv[2]);
        return FrameCost(hasNumber ? int(number) : 300);
    }
    if (command == "gauge") {
        if (hasNumber && std::strcmp(argv[2], "--seconds") != 0)
            return Fail(std::string("unknown option ") + argv[2]);
        return Gauge(hasNumber ? number : 10);
    }
    return Fail("unknown command " + command);
}
