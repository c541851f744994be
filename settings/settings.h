// The settings kept between runs: "Corvelle.ini" in the current working directory, group
// "system", keys "light", "PosWindowX" and "PosWindowY", over the record GaugeSettings.
// Main thread only. Neither call ever fails towards its caller.
#pragma once

#include <cstdint>

// Fills GaugeSettings from the file; what the file does not give takes its default
// (light 1, positions 0). Called once at start-up, before the window is opened.
void LoadSettings();

// Replaces the file with the three values of GaugeSettings in the written form. A file that
// cannot be replaced (read-only, or in a folder that cannot be written) stays as it was.
// Called once, after the main loop has ended; never after a start-up failure.
void SaveSettings();

// The low 8 bits of a number read from the file, as a signed value (255 is -1, 256 is 0).
int8_t LightFromNumber(int32_t number);
