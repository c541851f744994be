// tovaline_bench_frame: what one DrawGaugeFrame costs on the software sprite layer, beside a bare
// fill and present of the same layer, measured in the same run in interleaved blocks. Prints
// name;unit;project;baseline lines. Not a test: nothing passes or fails on a figure.
#include "app/shared.h"
#include "gauge/frame.h"
#include "gauge/sprite_layer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static const char Usage[] =
    "usage: tovaline_bench_frame [--count N]\n"
    "\n"
    "Times N frames (default 2000) of DrawGaugeFrame on the software sprite layer, with the\n"
    "needle turning, the glow on and the lamp every other frame, against N bare FillFrame and\n"
    "PresentFrame calls. Output: name;unit;project;baseline, with p50 and p99 in microseconds.\n";

static double NowUs()
{
    using namespace std::chrono;
    return double(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count()) / 1000.0;
}

static double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[size_t(p * double(v.size() - 1) + 0.5)];
}

int main(int argc, char** argv)
{
    int count = 2000;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (arg == "--count" && i + 1 < argc) {
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || n < 1 || n > 1000000) {
                std::fprintf(stderr, "tovaline_bench_frame: --count wants 1 to 1000000, not '%s'\n", argv[i]);
                return 2;
            }
            count = int(n);
        } else {
            std::fprintf(stderr, "tovaline_bench_frame: unknown option %s\n(see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (!SpriteLayerInit() || !OpenSpriteSurface(nullptr)) {
        std::fprintf(stderr, "tovaline_bench_frame: the software surface did not open\n");
        return 1;
    }
    LoadGaugeSprites();
    LinkReadings.lights.store(1);
    GaugeSettings.light = 1;
    std::vector<double> project, bare;
    project.reserve(count);
    bare.reserve(count);
    const int block = 100;
    for (int done = 0; done < count; done += block) {
        for (int i = 0; i < block; ++i) {
            double t0 = NowUs();
            DrawGaugeFrame(float((done + i) % 360) - 180.0f, (i & 1) != 0);
            project.push_back(NowUs() - t0);
        }
        for (int i = 0; i < block; ++i) {
            double t0 = NowUs();
            FillFrame(0, 0, 0);
            PresentFrame();
            bare.push_back(NowUs() - t0);
        }
    }
    CloseSpriteSurface();
    std::printf("frame cost soft p50;us;%.4g;%.4g\n", Percentile(project, 0.5), Percentile(bare, 0.5));
    std::printf("frame cost soft p99;us;%.4g;%.4g\n", Percentile(project, 0.99), Percentile(bare, 0.99));
    return 0;
}
