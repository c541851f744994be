// The settings file end to end through LoadSettings/SaveSettings in a fresh working folder:
// hand-edited files and the values they give, the exact written bytes, and saves that must
// leave the old file alone (a write failing half-way, read-only and immutable files). The
// same program runs natively and under Wine.
#include "app/shared.h"
#include "settings/prefs_store.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const char FileName[] = "Corvelle.ini";

std::string Bytes(const char* text, size_t size)
{
    return std::string(text, size);
}
#define BYTES(literal) Bytes(literal, sizeof(literal) - 1)

void PutFile(const std::string& name, const std::string& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << name;
}

std::string FileBytes(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Show(const GaugeSettingsRecord& s)
{
    return "light " + std::to_string(s.light) + ", x " + std::to_string(s.PosWindowX) + ", y " +
           std::to_string(s.PosWindowY);
}

// Loads after filling the record with values no file gives, so that a field left untouched
// shows up.
GaugeSettingsRecord LoadFresh()
{
    GaugeSettings.light = 77;
    GaugeSettings.PosWindowX = 12345;
    GaugeSettings.PosWindowY = -12345;
    LoadSettings();
    return GaugeSettings;
}

unsigned long ProcessId()
{
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

// Sets or clears the immutable flag, which keeps even an administrator from changing a
// file or a folder's entries. False when the file system (or the platform) has no such flag.
bool SetImmutable(const fs::path& path, bool on)
{
#ifdef _WIN32
    // Under Wine the Unix chattr can be started like any program, but Wine gives no handle to
    // wait on for a Unix process: a shell around it leaves chattr's exit status in a marker
    // file, which is polled for. On Windows there is no chattr and this gives false.
    typedef char*(CDECL * UnixNameFn)(LPCWSTR);
    const UnixNameFn unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return false;
    auto toUnix = [unixName](const fs::path& windowsPath) {
        std::string result;
        if (char* name = unixName(fs::absolute(windowsPath).wstring().c_str())) {
            result = name;
            HeapFree(GetProcessHeap(), 0, name);
        }
        return result;
    };
    static int serial = 0;
    const fs::path marker =
        fs::temp_directory_path() / ("tovaline-chattr-" + std::to_string(ProcessId()) + "-" + std::to_string(++serial));
    const std::string target = toUnix(path);
    const std::string markerUnix = toUnix(marker.parent_path()) + "/" + marker.filename().string();
    if (target.empty() || markerUnix.size() <= marker.filename().string().size() + 1)
        return false;
    std::string command = std::string("Z:\\bin\\sh -c \"/usr/bin/chattr \\\"$0\\\" \\\"$1\\\" >/dev/null 2>&1; "
                                      "echo $? >\\\"$2.part\\\"; mv \\\"$2.part\\\" \\\"$2\\\"\" ") +
                          (on ? "+i" : "-i") + " \"" + target + "\" \"" + markerUnix + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    std::string status;
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (status.empty() && GetTickCount64() < deadline) {
        Sleep(20);
        status = FileBytes(marker.string());
    }
    std::error_code ignored;
    fs::remove(marker, ignored);
    return status == "0\n";
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
#endif
}

// Takes away the user's right to change the file: the read-only attribute on Windows, all
// write permission bits elsewhere.
void MakeReadOnly(const std::string& name, bool on)
{
#ifdef _WIN32
    SetFileAttributesA(name.c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
#else
    ::chmod(name.c_str(), on ? 0444 : 0644);
#endif
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int serial = 0;
        home = fs::current_path();
        folder = fs::temp_directory_path() /
                 ("tovaline-settings-" + std::to_string(ProcessId()) + "-" + std::to_string(++serial));
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::current_path(folder);
        GaugeSettings = GaugeSettingsRecord();
        savedHooks = SettingsFileHooks;
    }

    void TearDown() override
    {
        SettingsFileHooks = savedHooks;
        for (const fs::path& path : immutable)
            SetImmutable(path, false);
        if (fs::is_regular_file(FileName))
            MakeReadOnly(FileName, false);
        fs::current_path(home);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        GaugeSettings = GaugeSettingsRecord();
    }

    // Sets the flag and remembers to clear it whatever the test's outcome.
    bool Immutable(const fs::path& path)
    {
        if (!SetImmutable(path, true))
            return false;
        immutable.push_back(path);
        return true;
    }

    fs::path home;
    fs::path folder;
    std::vector<fs::path> immutable;
    SettingsFileHooksTable savedHooks{};
};

// ---------------------------------------------------------------------------------------
// Reading

struct ReadCase {
    const char* what;
    std::string bytes;
    int light;
    int32_t x;
    int32_t y;
};

const std::vector<ReadCase>& ReadCases()
{
    static const std::vector<ReadCase> cases = {
        {"the written form", BYTES("[system]\r\nlight = 0\r\nPosWindowX = 12\r\nPosWindowY = -7\r\n"), 0, 12, -7},
        {"empty file", BYTES(""), 1, 0, 0},
        {"no group system", BYTES("[other]\r\nlight = 0\r\nPosWindowX = 5\r\n"), 1, 0, 0},
        {"capitals", BYTES("[SYSTEM]\r\nLIGHT = 0\r\nPOSWINDOWX = 5\r\nPOSWINDOWY = 6\r\n"), 0, 5, 6},
        {"mixed case", BYTES("[sYsTeM]\r\nLight = 3\r\nposwindowx = 4\r\nposWINDOWy = 5\r\n"), 3, 4, 5},
        {"space inside the brackets", BYTES("[ system]\r\nlight = 0\r\nPosWindowX = 5\r\n"), 1, 0, 0},
        {"space before the bracket", BYTES("[system ]\r\nlight = 0\r\nPosWindowX = 5\r\n"), 1, 0, 0},
        {"LF ends", BYTES("[system]\nlight = 0\nPosWindowX = 12\nPosWindowY = -7\n"), 0, 12, -7},
        {"CR ends", BYTES("[system]\rlight = 0\rPosWindowX = 12\rPosWindowY = -7\r"), 0, 12, -7},
        {"LF CR and runs of ends", BYTES("\r\n\n[system]\n\r\r\nlight = 0\n\n\n\rPosWindowX = 12\r\r"), 0, 12, 0},
        {"last line without end", BYTES("[system]\r\nPosWindowY = 9"), 1, 0, 9},
        {"byte-order mark", BYTES("\xEF\xBB\xBF[system]\r\nlight = 0\r\nPosWindowX = 12\r\n"), 0, 12, 0},
        {"byte-order mark and LF", BYTES("\xEF\xBB\xBF[system]\nlight = 0\nPosWindowY = 3"), 0, 0, 3},
        {"two byte-order marks", BYTES("\xEF\xBB\xBF\xEF\xBB\xBF[system]\nlight = 0\n"), 1, 0, 0},
        {"part of a byte-order mark", BYTES("\xEF\xBB"), 1, 0, 0},
        {"mark not at the start", BYTES(" \xEF\xBB\xBF[system]\nlight = 0\n"), 1, 0, 0},
        {"leading blanks", BYTES("  [system]\n\tlight = 0\n \t PosWindowX=3\n"), 0, 3, 0},
        {"blank lines of blanks", BYTES(" \t \n[system]\n\t\t\nlight = 0\n   "), 0, 0, 0},
        {"comments", BYTES("; written by hand\n[system]\n;light = 0\n  ; PosWindowX = 3\nPosWindowY = 4\n"), 1, 0, 4},
        {"commented header", BYTES(";[system]\nlight = 0\n"), 1, 0, 0},
        {"remark after a value", BYTES("[system]\nlight = 1 ; remark\nPosWindowX = 8 ; left\n"), 1, 8, 0},
        {"semicolon starts a value", BYTES("[system]\nlight = ;5\n"), 0, 0, 0},
        {"semicolon inside a key name", BYTES("[system]\nlight;old = 0\n"), 1, 0, 0},
        {"rest of header line ignored", BYTES("[system] ; the gauge\nlight = 0\n"), 0, 0, 0},
        {"header without ]", BYTES("[system\nlight = 0\n"), 0, 0, 0},
        {"header with two ]", BYTES("[system]]\nlight = 0\n"), 0, 0, 0},
        {"blanks around =", BYTES("[system]\nlight \t =\t  7   \nPosWindowX\t=\t-3\t\n"), 7, -3, 0},
        {"blank inside a key name", BYTES("[system]\nPos WindowX = 3\nPosWindowY = 4\n"), 1, 0, 4},
        {"no blanks at all", BYTES("[system]\nlight=5\nPosWindowX=6\nPosWindowY=7"), 5, 6, 7},
        {"key line without =", BYTES("[system]\nlight\nPosWindowX = 4\n"), 0, 4, 0},
        {"key line without = and blanks", BYTES("[system]\nlight  \t\nPosWindowY = 4\n"), 0, 0, 4},
        {"empty value", BYTES("[system]\nlight =\nPosWindowX = \n"), 0, 0, 0},
        {"a word", BYTES("[system]\nlight = on\nPosWindowX = left\n"), 0, 0, 0},
        {"lone signs", BYTES("[system]\nlight = -\nPosWindowX = +\nPosWindowY = - 5\n"), 0, 0, 0},
        {"light 2", BYTES("[system]\nlight = 2\n"), 2, 0, 0},
        {"light 127", BYTES("[system]\nlight = 127\n"), 127, 0, 0},
        {"light 128", BYTES("[system]\nlight = 128\n"), -128, 0, 0},
        {"light 255", BYTES("[system]\nlight = 255\n"), -1, 0, 0},
        {"light 256", BYTES("[system]\nlight = 256\n"), 0, 0, 0},
        {"light 257", BYTES("[system]\nlight = 257\n"), 1, 0, 0},
        {"light -1", BYTES("[system]\nlight = -1\n"), -1, 0, 0},
        {"light -129", BYTES("[system]\nlight = -129\n"), 127, 0, 0},
        {"light beyond 32 bits", BYTES("[system]\nlight = 99999999999\n"), -1, 0, 0},
        {"letters after a value", BYTES("[system]\nPosWindowX = 100abc\nPosWindowY = 7.9\n"), 1, 100, 7},
        {"leading zeros", BYTES("[system]\nPosWindowX = 0100\nPosWindowY = -007\n"), 1, 100, -7},
        {"hexadecimal", BYTES("[system]\nPosWindowX = 0x10\nPosWindowY = 0X7f\n"), 1, 0, 0},
        {"signs", BYTES("[system]\nPosWindowX = -20\nPosWindowY = +20\n"), 1, -20, 20},
        {"32-bit extremes", BYTES("[system]\nPosWindowX = 2147483647\nPosWindowY = -2147483648\n"), 1, INT32_MAX,
         INT32_MIN},
        {"beyond 32 bits saturates", BYTES("[system]\nPosWindowX = 2147483648\nPosWindowY = -2147483649\n"), 1,
         INT32_MAX, INT32_MIN},
        {"very long numbers saturate",
         BYTES("[system]\nPosWindowX = 000000000000000000000000000000099999999999999999999999\n"
               "PosWindowY = -99999999999999999999999999999999999999999\n"),
         1, INT32_MAX, INT32_MIN},
        {"first key counts", BYTES("[system]\nlight = 0\nlight = 5\nLIGHT = 6\n"), 0, 0, 0},
        {"first group counts", BYTES("[system]\nlight = 0\n[SYSTEM]\nlight = 5\nPosWindowX = 9\n"), 0, 0, 0},
        {"empty first group counts", BYTES("[system]\n[system]\nlight = 0\n"), 1, 0, 0},
        {"keys before the first header", BYTES("light = 0\nPosWindowX = 3\n[system]\nPosWindowY = 4\n"), 1, 0, 4},
        {"keys in another group", BYTES("[other]\nlight = 0\n[system]\nPosWindowX = 3\n"), 1, 3, 0},
        {"group ends at the next header", BYTES("[system]\nlight = 0\n[other]\nPosWindowX = 3\n"), 0, 0, 0},
        {"comments, other groups and keys",
         BYTES("; gauge\n[display]\nlight = 9\n[system]\nsound = 4\nlight = 0\n; PosWindowX = 1\n"
               "PosWindowX = 640\n[system]\nPosWindowY = 5\n"),
         0, 640, 0},
        {"NUL inside a key name", BYTES("[system]\nlight\0 = 0\nPosWindowX = 3\n"), 1, 3, 0},
        {"NUL inside a value", BYTES("[system]\nPosWindowX = 4\0" "5\n"), 1, 4, 0},
        {"NUL inside a group name", BYTES("[sys\0tem]\nlight = 0\n"), 1, 0, 0},
        {"bytes above 0x7F are not folded", BYTES("[syst\xC9m]\nlight = 0\n[system]\nL\xC9GHT = 0\n"), 1, 0, 0},
    };
    return cases;
}

TEST_F(SettingsFile, HandEditedFilesGiveTheirValues)
{
    for (const ReadCase& c : ReadCases()) {
        SCOPED_TRACE(c.what);
        PutFile(FileName, c.bytes);
        const GaugeSettingsRecord got = LoadFresh();
        EXPECT_EQ(c.light, got.light);
        EXPECT_EQ(c.x, got.PosWindowX);
        EXPECT_EQ(c.y, got.PosWindowY);
    }
}

TEST_F(SettingsFile, NoFileOrAFolderInItsPlaceGivesDefaults)
{
    GaugeSettingsRecord got = LoadFresh();
    EXPECT_EQ(Show(GaugeSettingsRecord()), Show(got));
    fs::create_directory(FileName);
    got = LoadFresh();
    EXPECT_EQ(Show(GaugeSettingsRecord()), Show(got));
}

TEST_F(SettingsFile, FileOverTheSizeLimitGivesDefaults)
{
    std::string bytes = "[system]\r\nlight = 0\r\nPosWindowX = 3\r\n";
    bytes.resize(SettingsFileMaxBytes + 1, '\n');
    PutFile(FileName, bytes);
    EXPECT_EQ(Show(GaugeSettingsRecord()), Show(LoadFresh()));
    bytes.resize(SettingsFileMaxBytes);
    PutFile(FileName, bytes);
    const GaugeSettingsRecord got = LoadFresh();
    EXPECT_EQ(0, got.light);
    EXPECT_EQ(3, got.PosWindowX);
}

// Other programs, and a second copy of the gauge, may hold the file open meanwhile; and the
// load does not keep it open.
TEST_F(SettingsFile, ReadsAFileHeldOpenAndDoesNotKeepIt)
{
    PutFile(FileName, "[system]\r\nPosWindowX = 31\r\n");
#ifdef _WIN32
    HANDLE other = CreateFileA(FileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_EQ(31, LoadFresh().PosWindowX);
    CloseHandle(other);
    HANDLE exclusive =
        CreateFileA(FileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, exclusive) << "the load left the file open";
    if (exclusive != INVALID_HANDLE_VALUE)
        CloseHandle(exclusive);
#else
    std::FILE* other = std::fopen(FileName, "r+");
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(31, LoadFresh().PosWindowX);
    std::fclose(other);
#endif
}

// ---------------------------------------------------------------------------------------
// Writing

struct WriteCase {
    GaugeSettingsRecord settings;
    std::string bytes;
};

TEST_F(SettingsFile, WritesTheFourLinesExactly)
{
    const WriteCase cases[] = {
        {GaugeSettingsRecord(), BYTES("[system]\r\nlight = 1\r\nPosWindowX = 0\r\nPosWindowY = 0\r\n")},
        {{-1, -20, -300}, BYTES("[system]\r\nlight = -1\r\nPosWindowX = -20\r\nPosWindowY = -300\r\n")},
        {{-128, INT32_MIN, INT32_MAX},
         BYTES("[system]\r\nlight = -128\r\nPosWindowX = -2147483648\r\nPosWindowY = 2147483647\r\n")},
        {{127, 1920, 100}, BYTES("[system]\r\nlight = 127\r\nPosWindowX = 1920\r\nPosWindowY = 100\r\n")},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(Show(c.settings));
        GaugeSettings = c.settings;
        SaveSettings();
        EXPECT_EQ(c.bytes, FileBytes(FileName));
    }
    GaugeSettings = GaugeSettingsRecord();
    SaveSettings();
    EXPECT_EQ(53u, FileBytes(FileName).size());
    EXPECT_EQ(std::vector<std::string>{FileName}, FolderEntries(folder));
}

TEST_F(SettingsFile, WrittenFileReadsBackTheSameValues)
{
    const GaugeSettingsRecord cases[] = {
        GaugeSettingsRecord(), {0, 640, 480}, {2, -20, -1}, {-1, -1, 0}, {-128, INT32_MIN, INT32_MAX}, {127, 7, 9},
    };
    for (const GaugeSettingsRecord& c : cases) {
        SCOPED_TRACE(Show(c));
        GaugeSettings = c;
        SaveSettings();
        EXPECT_EQ(Show(c), Show(LoadFresh()));
    }
}

TEST_F(SettingsFile, SaveLeavesOnlyTheFourLines)
{
    PutFile(FileName, BYTES("\xEF\xBB\xBF; my gauge\n[display]\nsize = 2\n[SYSTEM]\nLIGHT = 255\nsound = 1\n"
                            "PosWindowX = 0100 px\n; moved\nPosWindowY=-20\n[system]\nlight = 5\n"
                            "                                                          \n"));
    LoadSettings();
    SaveSettings();
    EXPECT_EQ(BYTES("[system]\r\nlight = -1\r\nPosWindowX = 100\r\nPosWindowY = -20\r\n"), FileBytes(FileName));
}

// A second copy of the gauge in the same folder: both read the file, the last to save wins.
TEST_F(SettingsFile, TheLastSaveWins)
{
    PutFile(FileName, "[system]\r\nPosWindowX = 10\r\n");
    LoadSettings();
    const GaugeSettingsRecord first = GaugeSettings;
    LoadSettings();
    GaugeSettings.PosWindowX = 20;
    SaveSettings();
    GaugeSettings = first;
    SaveSettings();
    EXPECT_EQ(10, LoadFresh().PosWindowX);
}

#ifndef _WIN32
TEST_F(SettingsFile, SaveKeepsTheFilesPermissions)
{
    PutFile(FileName, "[system]\r\n");
    ASSERT_EQ(0, ::chmod(FileName, 0600));
    SaveSettings();
    struct stat st {};
    ASSERT_EQ(0, ::stat(FileName, &st));
    EXPECT_EQ(0600u, st.st_mode & 07777u);
}
#endif

// ---------------------------------------------------------------------------------------
// Saves that must leave the old file as it was

struct FailingWrite {
    static size_t allowed;
    static long (*real)(intptr_t, const char*, size_t);
    static long Write(intptr_t file, const char* data, size_t size)
    {
        if (allowed == 0)
            return -1;
        const long n = real(file, data, std::min(size, allowed));
        if (n > 0)
            allowed -= static_cast<size_t>(n);
        return n;
    }
};
size_t FailingWrite::allowed = 0;
long (*FailingWrite::real)(intptr_t, const char*, size_t) = nullptr;

TEST_F(SettingsFile, WriteFailingHalfWayLeavesTheOldFile)
{
    const std::string old = BYTES("\xEF\xBB\xBF[system]\nlight = 0\nPosWindowX = 5\n; mine\n");
    const size_t fullSize = 53;
    for (size_t allowed : {size_t(0), size_t(1), size_t(20), fullSize - 1}) {
        SCOPED_TRACE("fails after " + std::to_string(allowed) + " bytes");
        PutFile(FileName, old);
        FailingWrite::allowed = allowed;
        FailingWrite::real = savedHooks.writeSome;
        SettingsFileHooks.writeSome = FailingWrite::Write;
        GaugeSettings = GaugeSettingsRecord();
        SaveSettings();
        SettingsFileHooks = savedHooks;
        EXPECT_EQ(old, FileBytes(FileName));
        EXPECT_EQ(std::vector<std::string>{FileName}, FolderEntries(folder));
    }
    // The same fault with no file before it leaves no file at all.
    fs::remove(FileName);
    FailingWrite::allowed = 20;
    SettingsFileHooks.writeSome = FailingWrite::Write;
    SaveSettings();
    SettingsFileHooks = savedHooks;
    EXPECT_TRUE(FolderEntries(folder).empty());
    // And a write that gets through in small pieces is a whole file.
    FailingWrite::allowed = fullSize;
    SettingsFileHooks.writeSome = [](intptr_t file, const char* data, size_t) { return FailingWrite::real(file, data, 1); };
    SaveSettings();
    SettingsFileHooks = savedHooks;
    EXPECT_EQ(fullSize, FileBytes(FileName).size());
}

TEST_F(SettingsFile, ReadOnlyFileStaysAsItWas)
{
    const std::string old = BYTES("[system]\nlight = 0\nPosWindowX = 5\n");
    PutFile(FileName, old);
    MakeReadOnly(FileName, true);
    GaugeSettings = {1, 200, 300};
    SaveSettings();
    MakeReadOnly(FileName, false);
    EXPECT_EQ(old, FileBytes(FileName));
    EXPECT_EQ(std::vector<std::string>{FileName}, FolderEntries(folder));
}

TEST_F(SettingsFile, ImmutableFileStaysAsItWas)
{
    const std::string old = BYTES("[system]\nlight = 0\nPosWindowX = 5\n");
    PutFile(FileName, old);
    if (!Immutable(FileName))
        GTEST_SKIP() << "no immutable flag here (file system without it, no chattr, or not an administrator)";
    GaugeSettings = {1, 200, 300};
    SaveSettings();
    EXPECT_EQ(old, FileBytes(FileName));
    EXPECT_EQ(std::vector<std::string>{FileName}, FolderEntries(folder));
}

TEST_F(SettingsFile, FileInAFolderThatCannotBeWrittenStaysAsItWas)
{
    const std::string old = BYTES("[system]\nlight = 0\nPosWindowX = 5\n");
    PutFile(FileName, old);
    if (!Immutable(folder))
        GTEST_SKIP() << "no immutable flag here (file system without it, no chattr, or not an administrator)";
    GaugeSettings = {1, 200, 300};
    SaveSettings();
    EXPECT_EQ(old, FileBytes(FileName));
    EXPECT_EQ(std::vector<std::string>{FileName}, FolderEntries(folder));
}

// ---------------------------------------------------------------------------------------
// The store on its own

TEST(PrefsStore, GroupsAndKeysWrittenInTheirOrder)
{
    PrefsStore store;
    PrefsCreateForWriting(store, "unused.ini");
    PrefsSelectGroup(store, "a");
    PrefsWriteInt(store, "one", 1);
    PrefsWriteInt(store, "two", -2);
    PrefsSelectGroup(store, "b");
    PrefsSelectGroup(store, "A");
    PrefsWriteInt(store, "ONE", 11);
    PrefsWriteInt(store, "three", 3);
    EXPECT_EQ("[a]\r\none = 11\r\ntwo = -2\r\nthree = 3\r\n", PrefsFormat(store));
}

TEST(PrefsStore, ReadsWithoutASelectedGroupGiveTheDefault)
{
    PrefsStore store;
    const std::string bytes = "[x]\nk = 4\n";
    PrefsParse(store, bytes.data(), bytes.size());
    EXPECT_EQ(-9, PrefsReadInt(store, "k", -9));
    PrefsSelectGroup(store, "x");
    EXPECT_EQ(4, PrefsReadInt(store, "k", -9));
    EXPECT_EQ(-9, PrefsReadInt(store, "missing", -9));
    PrefsSelectGroup(store, "y");
    EXPECT_EQ(-9, PrefsReadInt(store, "k", -9));
}

} // namespace
