// The settings file on Windows: whole-file reads that let others read and write meanwhile,
// and replacement through a new file beside the old one, moved over it once written and
// flushed. A read-only file, or one the user may not replace, stays as it was.
#include "settings/settings_file.h"

#include <windows.h>

#include <string>

namespace {

long WriteSomeToHandle(intptr_t file, const char* data, size_t size)
{
    const DWORD want = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    DWORD wrote = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(file), data, want, &wrote, nullptr))
        return -1;
    return static_cast<long>(wrote);
}

// MoveFileEx would refuse a read-only file too, but only after the new file was made.
bool MayReplace(const char* name)
{
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

bool WriteAll(HANDLE file, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const long n = SettingsFileHooks.writeSome(reinterpret_cast<intptr_t>(file), bytes.data() + done,
                                                   bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

SettingsFileHooksTable SettingsFileHooks = {WriteSomeToHandle};

bool SettingsFileRead(const char* name, std::string& bytes)
{
    bytes.clear();
    const HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr) || bytes.size() + got > SettingsFileMaxBytes) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    if (!ok)
        bytes.clear();
    return ok;
}

bool SettingsFileReplace(const char* name, const std::string& bytes)
{
    if (!MayReplace(name))
        return false;
    const std::string temporary = std::string(name) + "." + std::to_string(GetCurrentProcessId()) + ".new";
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = WriteAll(file, bytes);
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExA(temporary.c_str(), name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}
