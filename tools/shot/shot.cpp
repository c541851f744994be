// tovaline_shot: waits for the gauge's window, writes a PNG of what its client area shows, and
// can then close the gauge the way a user does, through the window's close command.
#include "gauge/png_image.h"
#include "tools/shot/window_capture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char Usage[] =
    "usage: tovaline_shot [--wait SECONDS] [--out FILE.png] [--close]\n"
    "\n"
    "Finds the window \"Tovaline - 1.03\", waits SECONDS (default 5) so the gauge shows the\n"
    "link's readings, writes its 290 x 290 client area to FILE.png when --out is given, and with\n"
    "--close asks the gauge to close (as its close button does) and waits until it has ended.\n"
    "Exit code 0 on success, 1 when the window is not found or the picture cannot be written,\n"
    "2 for bad arguments.\n";

static int Fail(const std::string& message)
{
    std::fprintf(stderr, "tovaline_shot: %s\n(see tovaline_shot --help)\n", message.c_str());
    return 2;
}

int main(int argc, char** argv)
{
    double waitS = 5;
    std::string out;
    bool close = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == "--close") {
            close = true;
        } else if (arg == "--wait" || arg == "--out") {
            if (i + 1 >= argc)
                return Fail("missing value after " + arg);
            const char* value = argv[++i];
            if (arg == "--out") {
                out = value;
                continue;
            }
            char* end = nullptr;
            waitS = std::strtod(value, &end);
            if (end == value || *end != '\0' || waitS < 0 || waitS > 3600)
                return Fail(std::string("--wait wants seconds from 0 to 3600, not '") + value + "'");
        } else {
            return Fail("unknown option " + arg);
        }
    }

    HWND window = nullptr;
    for (int tries = 0; tries < 300 && !window; ++tries) {
        window = FindTopWindow(0, "Tovaline - 1.03");
        if (!window)
            Sleep(100);
    }
    if (!window) {
        std::fprintf(stderr, "tovaline_shot: no gauge window found\n");
        return 1;
    }
    Sleep(static_cast<DWORD>(waitS * 1000));
    if (!out.empty()) {
        std::vector<uint8_t> rgb;
        if (!CaptureClient(window, 290, 290, &rgb) || !WritePngFile(out, rgb.data(), 290, 290, 3)) {
            std::fprintf(stderr, "tovaline_shot: cannot capture the window into %s\n", out.c_str());
            return 1;
        }
        std::printf("tovaline_shot: wrote %s\n", out.c_str());
    }
    if (close) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
        PostMessageA(window, WM_CLOSE, 0, 0);
        if (handle) {
            WaitForSingleObject(handle, 30000);
            CloseHandle(handle);
        }
    }
    return 0;
}
