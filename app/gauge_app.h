// The gauge program from start-up to its end: the window, the main loop, the settings and the
// link steps in their order. Returns the process's exit code, which is always 0.
#pragma once

extern const char AppVersion[];

int RunGauge();
