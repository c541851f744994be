// The settings file on disk: read a whole file into memory, and replace a file with new bytes
// without ever leaving a half-written file in its place. Names are used as given, so a name
// without a directory part is resolved against the current working directory. The backend
// (platform/win32 or platform/portable) is picked by the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Larger files are treated as unreadable, so that a wrong file never exhausts the memory of
// a 32-bit process.
constexpr size_t SettingsFileMaxBytes = 16u * 1024u * 1024u;

// Fills bytes with the whole file. False, with bytes empty, when the file is missing, cannot
// be read or is larger than SettingsFileMaxBytes. The file is not kept open, and other
// programs may read and write it meanwhile.
bool SettingsFileRead(const char* name, std::string& bytes);

// Writes bytes to a new file beside name and, once that file is complete and flushed, puts it
// in the place of name. False when anything fails: name then stays exactly as it was and the
// new file is removed. A file that its user could not write (read-only, immutable, no write
// permission bits even for an administrator) is refused and left as it was.
bool SettingsFileReplace(const char* name, const std::string& bytes);

// Lets tests make writing fail half-way, as a full disk would. writeSome writes up to size
// bytes to the new file (a file descriptor or a HANDLE, as an integer) and returns how many it
// wrote, or a negative number on failure.
struct SettingsFileHooksTable {
    long (*writeSome)(intptr_t file, const char* data, size_t size);
};
extern SettingsFileHooksTable SettingsFileHooks;
