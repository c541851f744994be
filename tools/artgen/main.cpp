// tovaline_artgen: writes the gauge's artwork and the program icon as PNG files into a folder.
// The folder must exist; files already there are overwritten.
#include "tools/artgen/artwork.h"
#include "tools/artgen/png_write.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const DefaultFontDir = "/usr/share/fonts/truetype/dejavu";

void PrintUsage(FILE* out)
{
    std::fprintf(out,
                 "Usage: tovaline_artgen [--font-dir DIR] OUTDIR\n"
                 "Draws the gauge's artwork into the existing folder OUTDIR:\n"
                 "  face.png (290x290), needle.png (215x215), lamp_dot.png (30x30),\n"
                 "  lamp_ring.png (30x30), light_disc.png (270x270),\n"
                 "  icon-48.png, icon-32.png, icon-16.png\n"
                 "all 8-bit RGBA with straight alpha, not interlaced.\n"
                 "  --font-dir DIR  folder holding DejaVuSans-Bold.ttf and\n"
                 "                  DejaVuSansCondensed-Bold.ttf (default %s)\n"
                 "  --help          this text\n",
                 DefaultFontDir);
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

int main(int argc, char** argv)
{
    std::string fontDir = DefaultFontDir;
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--font-dir") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tovaline_artgen: --font-dir needs a folder\n");
                return 2;
            }
            fontDir = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "tovaline_artgen: unknown option '%s' (try --help)\n", argv[i]);
            return 2;
        } else if (!outDir.empty()) {
            std::fprintf(stderr, "tovaline_artgen: only one output folder, got '%s' and '%s'\n",
                         outDir.c_str(), argv[i]);
            return 2;
        } else {
            outDir = argv[i];
        }
    }
    if (outDir.empty()) {
        std::fprintf(stderr, "tovaline_artgen: no output folder given (try --help)\n");
        return 2;
    }
    if (!IsFolder(outDir)) {
        std::fprintf(stderr, "tovaline_artgen: '%s' is not an existing folder\n", outDir.c_str());
        return 1;
    }
    std::string error;
    if (!OpenArtFonts(fontDir, &error)) {
        std::fprintf(stderr, "tovaline_artgen: %s\n", error.c_str());
        return 1;
    }

    struct Output {
        const char* name;
        RgbaImage image;
    };
    Output outputs[] = {
        {"face.png", DrawFace()},
        {"needle.png", DrawNeedle()},
        {"lamp_dot.png", DrawLampDot()},
        {"lamp_ring.png", DrawLampRing()},
        {"light_disc.png", DrawLightDisc()},
        {"icon-48.png", DrawIcon(48)},
        {"icon-32.png", DrawIcon(32)},
        {"icon-16.png", DrawIcon(16)},
    };
    CloseArtFonts();

    int status = 0;
    for (const Output& out : outputs) {
        std::string path = outDir + "/" + out.name;
        if (!WritePngFile(path, out.image)) {
            std::fprintf(stderr, "tovaline_artgen: cannot write %s\n", path.c_str());
            status = 1;
        }
    }
    return status;
}
