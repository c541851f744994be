// The records shared between the parts of the gauge: the latest simulator readings with the
// link state, and the settings kept between runs; and the millisecond pause every thread uses.
#pragma once

#include <atomic>
#include <cstdint>

// Written only by the link threads, read by the main thread without a lock; never reset, so
// after a loss of the link it holds the last values received.
struct LinkReadingsRecord {
    std::atomic<int32_t> rawVerticalSpeed{0}; // 1/256 m/s, positive climbing
    std::atomic<uint8_t> lights{0};           // only ever tested for non-zero
    std::atomic<bool> linkUp{false};
};
extern LinkReadingsRecord LinkReadings;

// Touched by the main thread only. The field names are the settings file's keys.
struct GaugeSettingsRecord {
    int8_t light = 1;       // non-zero allows the panel-light glow
    int32_t PosWindowX = 0; // screen position of the window's outer top-left corner
    int32_t PosWindowY = 0;
};
extern GaugeSettingsRecord GaugeSettings;

// Pauses the calling thread for about ms milliseconds, with the system timer at 1 ms
// resolution for the length of the pause.
void SleepMs(uint32_t ms);
