// The settings file on POSIX systems: whole-file reads, and replacement through a new file
// beside the old one that is renamed over it once written and flushed. A symbolic link in
// the old file's place is replaced by the new file, not followed.
#include "settings/settings_file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long WriteSomeToFd(intptr_t file, const char* data, size_t size)
{
    ssize_t n;
    do {
        n = ::write(static_cast<int>(file), data, size);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

// rename ignores the mode of the file it replaces, and root passes access(); a file with no
// write permission bits is one that its user asked to keep.
bool MayReplace(const char* name, struct stat& old, bool& hadOld)
{
    hadOld = ::stat(name, &old) == 0;
    if (!hadOld)
        return errno == ENOENT;
    if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::access(name, W_OK) == 0;
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const long n = SettingsFileHooks.writeSome(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void SyncFolderOf(const std::string& name)
{
    const size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

SettingsFileHooksTable SettingsFileHooks = {WriteSomeToFd};

bool SettingsFileRead(const char* name, std::string& bytes)
{
    bytes.clear();
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || bytes.size() + static_cast<size_t>(n) > SettingsFileMaxBytes) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}

bool SettingsFileReplace(const char* name, const std::string& bytes)
{
    struct stat old;
    bool hadOld = false;
    if (!MayReplace(name, old, hadOld))
        return false;
    const std::string temporary = std::string(name) + "." + std::to_string(static_cast<long>(::getpid())) + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes);
    if (ok && hadOld)
        ::fchmod(fd, old.st_mode & 07777);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temporary.c_str(), name) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolderOf(name);
    return true;
}
