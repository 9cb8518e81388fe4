// The seam's settings, files, clock, lock and messages on POSIX calls.
#include "platform_posix.h"

#include "ini_text.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace platform {

namespace {

PosixPlatform& Self(void* context) { return *static_cast<PosixPlatform*>(context); }

// --- whole files ------------------------------------------------------------------

// Opens a regular file only; -1 otherwise. The open does not block, so a pipe put in
// a file's place (the lock folder is everyone's) cannot hold the driver.
int OpenRegular(const char* path, int flags, mode_t mode)
{
    int fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd < 0)
        return -1;
    struct stat s;
    const int status = fcntl(fd, F_GETFL);
    if (fstat(fd, &s) != 0 || !S_ISREG(s.st_mode) || status < 0 ||
        fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadAll(int fd, std::string* out)
{
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out->append(buffer, size_t(n));
    }
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= size_t(n);
    }
    return true;
}

// The file's text; empty when it is missing or unreadable.
std::string FileText(const char* path)
{
    std::string text;
    int fd = OpenRegular(path, O_RDONLY, 0);
    if (fd < 0)
        return text;
    if (!ReadAll(fd, &text))
        text.clear();
    ::close(fd);
    return text;
}

// Writes a sibling file and renames it over `path`: the old file stays whole until then.
bool ReplaceFile(const char* path, const std::string& text)
{
    std::string temporary = std::string(path) + ".XXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return false;
    struct stat old;
    fchmod(fd, ::stat(path, &old) == 0 ? (old.st_mode & 07777) : 0644);
    bool ok = WriteAll(fd, text.data(), text.size()) && fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), path) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

// --- settings -----------------------------------------------------------------

size_t CopyCut(const std::string& value, char* out, size_t size)
{
    const size_t n = value.size() < size - 1 ? value.size() : size - 1;
    memcpy(out, value.data(), n);
    out[n] = 0;
    return n;
}

int ReadInt(void*, const char* path, const char* section, const char* key, int fallback)
{
    std::string value;
    if (!ini::Find(FileText(path), section, key, &value) || value.empty())
        return fallback;
    return ini::LeadingInt(value);
}

size_t ReadText(void*, const char* path, const char* section, const char* key, const char* fallback,
                char* out, size_t size)
{
    if (size == 0)
        return 0;
    std::string value;
    if (!ini::Find(FileText(path), section, key, &value))
        value = fallback ? fallback : "";
    return CopyCut(value, out, size);
}

bool WriteSetting(void*, const char* path, const char* section, const char* key, const char* value)
{
    return ReplaceFile(path, ini::Set(FileText(path), section, key, value));
}

// --- files -------------------------------------------------------------------

const std::string* FolderOf(const PosixPlatform& p, DataPlace place)
{
    switch (place) {
    case DataPlace::Settings: return &p.options.settingsFolder;
    case DataPlace::DriverFolder:
    case DataPlace::SharedData:
    case DataPlace::SystemFolder: return &p.options.dataFolder;
    case DataPlace::Diagnostics: return &p.options.diagnosticsFolder;
    }
    return nullptr;
}

bool Resolve(void* context, DataPlace place, const char* name, char* out, size_t size)
{
    const std::string* folder = FolderOf(Self(context), place);
    if (!folder || folder->empty())
        return false;
    std::string path = *folder + "/" + name;
    if (path.size() >= PATH_MAX || path.size() >= size)
        return false;
    memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

bool MakeFolders(const std::string& folder)
{
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/')
            continue;
        std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    struct stat s;
    return ::stat(folder.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

bool EnsureFolder(void* context, DataPlace place)
{
    const std::string* folder = FolderOf(Self(context), place);
    return folder && !folder->empty() && MakeFolders(*folder);
}

// File handles are descriptors plus one, so that null stays "none".
int Fd(FileHandle f) { return int(reinterpret_cast<intptr_t>(f)) - 1; }

FileHandle Open(void*, const char* path, FileMode mode)
{
    int flags = O_RDONLY;
    switch (mode) {
    case FileMode::ReadShared:
    case FileMode::Read: break;
    case FileMode::Update: flags = O_RDWR; break;
    case FileMode::CreateUpdate: flags = O_RDWR | O_CREAT | O_TRUNC; break;
    case FileMode::CreateWrite: flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    }
    // As the XDG folders ask of a writer: a data folder that is not there yet is made.
    if (flags & O_CREAT) {
        const char* slash = strrchr(path, '/');
        if (slash && slash != path)
            MakeFolders(std::string(path, size_t(slash - path)));
    }
    int fd = OpenRegular(path, flags, 0644); // a folder, a pipe or a device is no data file
    if (fd < 0)
        return nullptr;
    return reinterpret_cast<FileHandle>(intptr_t(fd) + 1);
}

bool Size(void*, FileHandle file, uint64_t* bytes)
{
    struct stat s;
    if (fstat(Fd(file), &s) != 0)
        return false;
    *bytes = uint64_t(s.st_size);
    return true;
}

bool ReadFileData(void*, FileHandle file, void* buffer, uint32_t size, uint32_t* got)
{
    *got = 0;
    char* at = static_cast<char*>(buffer);
    while (*got < size) {
        ssize_t n = ::read(Fd(file), at + *got, size - *got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        *got += uint32_t(n);
    }
    return true;
}

bool WriteFileData(void*, FileHandle file, const void* data, uint32_t size)
{
    return WriteAll(Fd(file), data, size);
}

bool Rewrite(void*, FileHandle file, const void* data, uint32_t size)
{
    return lseek(Fd(file), 0, SEEK_SET) == 0 && WriteAll(Fd(file), data, size) &&
           ftruncate(Fd(file), off_t(size)) == 0;
}

bool ToDate(time_t t, Date* utc)
{
    struct tm parts;
    if (!gmtime_r(&t, &parts))
        return false;
    *utc = Date{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
    return true;
}

bool ModifiedDate(void*, FileHandle file, Date* utc)
{
    struct stat s;
    return fstat(Fd(file), &s) == 0 && ToDate(s.st_mtime, utc);
}

void CloseFile(void*, FileHandle file)
{
    if (file)
        ::close(Fd(file));
}

bool Remove(void*, const char* path) { return ::unlink(path) == 0; }

bool AppendText(void*, const char* path, const char* text)
{
    int fd = OpenRegular(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, text, strlen(text));
    return ::close(fd) == 0 && ok;
}

// The data folder is the user's own: there is nobody to open it to.
void OpenToEveryUser(void*, const char*) {}

// --- clock -------------------------------------------------------------------

void SleepMs(void*, uint32_t ms)
{
    struct timespec rest = {time_t(ms / 1000), long(ms % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

uint32_t Milliseconds(void*)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

void Today(void*, Date* utc)
{
    if (!ToDate(time(nullptr), utc))
        *utc = Date{1970, 1, 1};
}

// --- device lock: flock on <lock folder>/kestrel-<key>.lock ----------------------

int OpenLockFile(const PosixPlatform& p, const char* key)
{
    std::string path = p.options.lockFolder + "/kestrel-" + key + ".lock";
    // Read-only is enough for flock, so users other than the file's maker can lock it too.
    return OpenRegular(path.c_str(), O_RDONLY | O_CREAT, 0666);
}

bool IsHeld(void* context, const char* key)
{
    int fd = OpenLockFile(Self(context), key);
    if (fd < 0)
        return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // also lets go of the probe's own lock
    return held;
}

DeviceLock Take(void* context, const char* key)
{
    int fd = OpenLockFile(Self(context), key);
    if (fd < 0)
        return nullptr;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return reinterpret_cast<DeviceLock>(intptr_t(fd) + 1);
}

void Release(void*, DeviceLock lock)
{
    if (lock)
        ::close(int(reinterpret_cast<intptr_t>(lock)) - 1);
}

// --- messages ------------------------------------------------------------------

int Tell(void* context, const char* text, const char* caption, unsigned)
{
    const PosixPlatform& p = Self(context);
    std::string line = std::string(caption && *caption ? caption : "message") + ": " + text;
    if (p.options.log)
        p.options.log(line.c_str());
    else
        fprintf(stderr, "%s\n", line.c_str());
    return ANSWER_OK;
}

void Log(void* context, const char* text)
{
    const PosixPlatform& p = Self(context);
    if (p.options.log)
        p.options.log(text);
}

bool StopClicked(void*) { return true; }

std::string Environment(const char* name)
{
    const char* value = getenv(name);
    return value && *value == '/' ? std::string(value) : std::string();
}

std::string DefaultUnderHome(const char* variable, const char* fallback)
{
    std::string base = Environment(variable);
    if (base.empty()) {
        std::string home = Environment("HOME");
        if (home.empty())
            return std::string();
        base = home + fallback;
    }
    return base + "/kestrel";
}

} // namespace

void InitPosixPlatform(PosixPlatform* p, const PosixOptions& options)
{
    void* self = p;
    p->options = options;
    if (p->options.settingsFolder.empty())
        p->options.settingsFolder = DefaultUnderHome("XDG_CONFIG_HOME", "/.config");
    if (p->options.dataFolder.empty())
        p->options.dataFolder = DefaultUnderHome("XDG_DATA_HOME", "/.local/share");
    if (p->options.lockFolder.empty())
        p->options.lockFolder = access("/run/lock", W_OK) == 0 ? "/run/lock" : "/tmp";
    p->platform.usb = PosixUsbOps(p);
    p->platform.settings = SettingsOps{self, ReadInt, ReadText, WriteSetting};
    p->platform.files = FileOps{self, Resolve, EnsureFolder, Open, Size, ReadFileData, WriteFileData, Rewrite,
                                ModifiedDate, CloseFile, Remove, AppendText, OpenToEveryUser};
    p->platform.clock = ClockOps{self, SleepMs, Milliseconds, Today};
    p->platform.lock = LockOps{self, IsHeld, Take, Release};
    p->platform.messages = MessageOps{self, Tell, Log, StopClicked};
}

} // namespace platform
