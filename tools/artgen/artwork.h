// The gauge's images, drawn from their geometry: dial face, needle, lamp bulb, lamp halo, light
// disc, and the program icon at any small size. Each function returns a finished straight-alpha
// image; only the face and the icon need the fonts.
#pragma once

#include "tools/artgen/png_write.h"

#include <string>

constexpr int FaceSize = 290;
constexpr int NeedleSize = 215;
constexpr int LampSize = 30;
constexpr int LightDiscSize = 270;

// Loads DejaVu Sans Bold and DejaVu Sans Condensed Bold from fontDir. On failure *error names
// the file that could not be used.
bool OpenArtFonts(const std::string& fontDir, std::string* error);
void CloseArtFonts();

RgbaImage DrawFace();
RgbaImage DrawNeedle();
RgbaImage DrawLampDot();
RgbaImage DrawLampRing();
RgbaImage DrawLightDisc();
RgbaImage DrawIcon(int size);
