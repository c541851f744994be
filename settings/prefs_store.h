// A key/value preferences store over an INI-style text file: groups of integer keys, read
// forgivingly from hand-edited files and written back in one fixed form ("[group]", then
// "key = value" lines, each ended by CR LF). One store is either read or written, never both.
// Names are ASCII and compared ignoring the case of A to Z only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PrefsKey {
    std::string name;
    std::string value;
};

struct PrefsGroup {
    std::string name;
    std::vector<PrefsKey> keys;
};

struct PrefsStore {
    std::vector<PrefsGroup> groups; // in file order; each header starts a group of its own
    int selected = -1;              // index into groups, -1 for none
    std::string pendingGroup;       // selected for writing, added with its first key
    std::string fileName;           // the file that closing a written store replaces
    bool writing = false;
};

// Reading. Opening never fails: a missing or unreadable file gives an empty store.
void PrefsOpenForReading(PrefsStore& store, const char* fileName);
// The same from bytes already in memory (a leading UTF-8 byte-order mark is skipped).
void PrefsParse(PrefsStore& store, const char* bytes, size_t size);
// Later reads (or writes) look only in the first group of that name.
void PrefsSelectGroup(PrefsStore& store, const char* groupName);
// The first key of that name in the selected group read as a number, or fallback when there
// is no such key or no selected group. A value that is no number reads as 0.
int32_t PrefsReadInt(const PrefsStore& store, const char* keyName, int32_t fallback);

// Writing. Nothing touches the disk before PrefsClose.
void PrefsCreateForWriting(PrefsStore& store, const char* fileName);
// Adds the key to the selected group, after the keys written before it; a key already there
// gets the new value in its place.
void PrefsWriteInt(PrefsStore& store, const char* keyName, int32_t value);
// The written form of the whole store.
std::string PrefsFormat(const PrefsStore& store);
// A written store replaces its file with PrefsFormat's bytes; false when the file could not
// be replaced, and it then stays as it was. Either way the store is emptied.
bool PrefsClose(PrefsStore& store);

// A value's text as a number: leading white space, an optional sign, then decimal digits up
// to the first other character. No digits give 0; values beyond 32 bits saturate.
int32_t PrefsNumberFromText(const std::string& text);
// Names equal when they are the same ignoring the case of the ASCII letters A to Z.
bool PrefsNamesMatch(const std::string& a, const char* b);
