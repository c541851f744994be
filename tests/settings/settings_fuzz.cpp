// Fuzz target for the settings reader: any bytes are parsed, the program's three keys are
// read, and what was read must survive the written form unchanged. Built with libFuzzer in
// the AddressSanitizer tree only.
#include "settings/prefs_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const keys[] = {"light", "PosWindowX", "PosWindowY"};
    PrefsStore store;
    PrefsParse(store, reinterpret_cast<const char*>(data), size);
    PrefsSelectGroup(store, "system");
    int32_t values[3];
    for (int i = 0; i < 3; ++i)
        values[i] = PrefsReadInt(store, keys[i], i == 0 ? 1 : 0);

    PrefsStore written;
    PrefsCreateForWriting(written, "unused.ini");
    PrefsSelectGroup(written, "system");
    for (int i = 0; i < 3; ++i)
        PrefsWriteInt(written, keys[i], values[i]);
    const std::string bytes = PrefsFormat(written);

    PrefsStore again;
    PrefsParse(again, bytes.data(), bytes.size());
    PrefsSelectGroup(again, "SYSTEM");
    for (int i = 0; i < 3; ++i) {
        if (PrefsReadInt(again, keys[i], -1) != values[i])
            std::abort();
    }
    // Every value the file holds, whatever its key, must read without fault.
    for (const PrefsGroup& group : store.groups) {
        for (const PrefsKey& key : group.keys)
            (void)PrefsNumberFromText(key.value);
    }
    return 0;
}
