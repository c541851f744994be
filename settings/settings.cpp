// LoadSettings and SaveSettings: the three fields of GaugeSettings through the preferences
// store. No range checks: the positions are used exactly as read.
#include "settings/settings.h"

#include "app/shared.h"
#include "settings/prefs_store.h"

namespace {

const char SettingsFileName[] = "Corvelle.ini";
const char SettingsGroup[] = "system";

} // namespace

int8_t LightFromNumber(int32_t number)
{
    const int low = static_cast<int>(static_cast<uint32_t>(number) & 0xFFu);
    return static_cast<int8_t>(low >= 128 ? low - 256 : low);
}

void LoadSettings()
{
    PrefsStore store;
    PrefsOpenForReading(store, SettingsFileName);
    PrefsSelectGroup(store, SettingsGroup);
    const int32_t light = PrefsReadInt(store, "light", 1);
    const int32_t x = PrefsReadInt(store, "PosWindowX", 0);
    const int32_t y = PrefsReadInt(store, "PosWindowY", 0);
    PrefsClose(store);
    GaugeSettings.light = LightFromNumber(light);
    GaugeSettings.PosWindowX = x;
    GaugeSettings.PosWindowY = y;
}

void SaveSettings()
{
    PrefsStore store;
    PrefsCreateForWriting(store, SettingsFileName);
    PrefsSelectGroup(store, SettingsGroup);
    PrefsWriteInt(store, "light", GaugeSettings.light);
    PrefsWriteInt(store, "PosWindowX", GaugeSettings.PosWindowX);
    PrefsWriteInt(store, "PosWindowY", GaugeSettings.PosWindowY);
    // A file that cannot be replaced is left as it was, silently.
    PrefsClose(store);
}
