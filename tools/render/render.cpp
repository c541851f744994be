// tovaline_render: draws one frame of the gauge with the software sprite layer, the pixel
// reference of the program's Direct3D 9 drawing, and writes it as a PNG.
#include "app/shared.h"
#include "gauge/frame.h"
#include "gauge/png_image.h"
#include "gauge/sprite_layer.h"
#include "platform/soft/soft_layer.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char Usage[] =
    "usage: tovaline_render [--angle DEGREES] [--lamp on|off] [--glow on|off] --out FILE.png\n"
    "\n"
    "Draws one frame of the gauge as the program shows it and writes it as a 290 x 290 PNG.\n"
    "  --angle DEGREES  needle angle, 0 at the zero mark (9 o'clock), positive clockwise\n"
    "                   (climb); drawn as given, without a clamp (default 0)\n"
    "  --lamp on|off    the red no-link lamp (default off)\n"
    "  --glow on|off    the amber panel-light glow: simulator lights on and the light option\n"
    "                   allowing it (default off)\n"
    "  --out FILE.png   where to write the picture\n";

static bool ParseSwitch(const char* text, bool* value)
{
    if (std::strcmp(text, "on") == 0)
        *value = true;
    else if (std::strcmp(text, "off") == 0)
        *value = false;
    else
        return false;
    return true;
}

static int Fail(const std::string& message)
{
    std::fprintf(stderr, "tovaline_render: %s\n(see tovaline_render --help)\n", message.c_str());
    return 2;
}

int main(int argc, char** argv)
{
    float angle = 0.0f;
    bool lamp = false, glow = false;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (i + 1 >= argc)
            return Fail("missing value after " + arg);
        const char* value = argv[++i];
        if (arg == "--angle") {
            char* end = nullptr;
            errno = 0;
            double parsed = std::strtod(value, &end);
            if (end == value || *end != '\0' || errno != 0 || !std::isfinite(parsed))
                return Fail(std::string("--angle wants a number of degrees, not '") + value + "'");
            angle = static_cast<float>(parsed);
        } else if (arg == "--lamp") {
            if (!ParseSwitch(value, &lamp))
                return Fail(std::string("--lamp wants on or off, not '") + value + "'");
        } else if (arg == "--glow") {
            if (!ParseSwitch(value, &glow))
                return Fail(std::string("--glow wants on or off, not '") + value + "'");
        } else if (arg == "--out") {
            out = value;
        } else {
            return Fail("unknown option " + arg);
        }
    }
    if (out.empty())
        return Fail("--out FILE.png is required");

    LinkReadings.lights.store(glow ? 1 : 0);
    GaugeSettings.light = glow ? 1 : 0;
    SpriteLayerInit();
    OpenSpriteSurface(nullptr);
    LoadGaugeSprites();
    DrawGaugeFrame(angle, lamp);
    if (!WritePngFile(out, SoftPresentedFrame(), SurfaceWidth, SurfaceHeight, 3)) {
        std::fprintf(stderr, "tovaline_render: cannot write %s\n", out.c_str());
        return 1;
    }
    CloseSpriteSurface();
    return 0;
}
