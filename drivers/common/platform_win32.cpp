// The seam's settings, files, clock, lock and messages on the Win32 calls the
// drivers have always made.
#include "platform_win32.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace platform {

namespace {

Win32Platform& Self(void* context) { return *static_cast<Win32Platform*>(context); }

// --- settings -----------------------------------------------------------------

int ReadInt(void*, const char* path, const char* section, const char* key, int fallback)
{
    return int(GetPrivateProfileIntA(section, key, fallback, path));
}

size_t ReadText(void*, const char* path, const char* section, const char* key, const char* fallback,
                char* out, size_t size)
{
    if (size == 0)
        return 0;
    return GetPrivateProfileStringA(section, key, fallback, out, DWORD(size), path);
}

bool WriteSetting(void*, const char* path, const char* section, const char* key, const char* value)
{
    return WritePrivateProfileStringA(section, key, value, path) != 0;
}

// --- files -------------------------------------------------------------------

// The "Common AppData" shell folder, read with a size limit and terminated.
bool CommonAppData(char* out, DWORD size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows\\currentversion\\explorer\\shell folders",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, bytes = size - 1;
    LONG rc = RegQueryValueExA(key, "Common AppData", nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || bytes == 0)
        return false;
    out[bytes] = 0;
    return out[0] != 0;
}

std::string DriverFolderPath(const Win32Platform& p)
{
    if (p.windowsDir.empty() || p.driverFolder.empty())
        return std::string();
    return p.windowsDir + "\\twain_32\\" + p.driverFolder;
}

// The folder of a place with its trailing backslash; empty when unknown.
std::string FolderOf(const Win32Platform& p, DataPlace place)
{
    switch (place) {
    case DataPlace::DriverFolder:
    case DataPlace::Settings: {
        std::string folder = DriverFolderPath(p);
        return folder.empty() ? folder : folder + "\\";
    }
    case DataPlace::SystemFolder:
        return p.windowsDir.empty() ? std::string() : p.windowsDir + "\\";
    case DataPlace::SharedData: {
        char dir[MAX_PATH] = {};
        if (CommonAppData(dir, MAX_PATH - 1))
            return std::string(dir) + "\\";
        DWORD n = GetTempPathA(MAX_PATH, dir); // ends in a backslash
        return n == 0 || n >= MAX_PATH ? std::string() : std::string(dir);
    }
    case DataPlace::Diagnostics:
        return "C:\\";
    }
    return std::string();
}

bool Resolve(void* context, DataPlace place, const char* name, char* out, size_t size)
{
    std::string folder = FolderOf(Self(context), place);
    if (folder.empty())
        return false;
    std::string path = folder + name;
    if (path.size() >= MAX_PATH || path.size() >= size)
        return false;
    memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

bool EnsureFolder(void* context, DataPlace place)
{
    const Win32Platform& p = Self(context);
    if (place != DataPlace::DriverFolder && place != DataPlace::Settings)
        return true; // folders of the system, there already
    std::string folder = DriverFolderPath(p);
    if (folder.empty() || folder.size() >= MAX_PATH)
        return false;
    CreateDirectoryA((p.windowsDir + "\\twain_32").c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HANDLE ToHandle(FileHandle f) { return reinterpret_cast<HANDLE>(f); }

FileHandle Open(void*, const char* path, FileMode mode)
{
    DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
    switch (mode) {
    case FileMode::ReadShared: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case FileMode::Read: break;
    case FileMode::Update: access = GENERIC_READ | GENERIC_WRITE; break;
    case FileMode::CreateUpdate: access = GENERIC_READ | GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    case FileMode::CreateWrite: access = GENERIC_WRITE; share = 0; disposition = CREATE_ALWAYS; break;
    }
    HANDLE f = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return f == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<FileHandle>(f);
}

bool Size(void*, FileHandle file, uint64_t* bytes)
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(ToHandle(file), &size))
        return false;
    *bytes = uint64_t(size.QuadPart);
    return true;
}

bool ReadFileData(void*, FileHandle file, void* buffer, uint32_t size, uint32_t* got)
{
    DWORD n = 0;
    BOOL ok = ReadFile(ToHandle(file), buffer, size, &n, nullptr);
    *got = n;
    return ok != FALSE;
}

bool WriteFileData(void*, FileHandle file, const void* data, uint32_t size)
{
    DWORD put = 0;
    return WriteFile(ToHandle(file), data, size, &put, nullptr) && put == size;
}

bool Rewrite(void*, FileHandle file, const void* data, uint32_t size)
{
    DWORD written = 0;
    LARGE_INTEGER zero = {};
    return SetFilePointerEx(ToHandle(file), zero, nullptr, FILE_BEGIN) &&
           WriteFile(ToHandle(file), data, size, &written, nullptr) && written == size &&
           SetEndOfFile(ToHandle(file));
}

bool ModifiedDate(void*, FileHandle file, Date* utc)
{
    FILETIME written;
    SYSTEMTIME then;
    if (!GetFileTime(ToHandle(file), nullptr, nullptr, &written) || !FileTimeToSystemTime(&written, &then))
        return false;
    *utc = Date{then.wYear, then.wMonth, then.wDay};
    return true;
}

void CloseFile(void*, FileHandle file)
{
    if (file)
        CloseHandle(ToHandle(file));
}

bool Remove(void*, const char* path) { return DeleteFileA(path) != FALSE; }

bool AppendText(void*, const char* path, const char* text)
{
    FILE* f = fopen(path, "a");
    if (!f)
        return false;
    const bool ok = fputs(text, f) >= 0;
    return fclose(f) == 0 && ok;
}

// A null access list: every user may rewrite the file.
void OpenToEveryUser(void*, const char* path)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwMajorVersion < 5)
        return;
    SECURITY_DESCRIPTOR sd;
    if (InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE))
        SetFileSecurityA(path, DACL_SECURITY_INFORMATION, &sd);
}

// --- clock -------------------------------------------------------------------

void SleepMs(void*, uint32_t ms) { Sleep(ms); }
uint32_t Milliseconds(void*) { return GetTickCount(); }

void Today(void*, Date* utc)
{
    SYSTEMTIME now;
    GetSystemTime(&now);
    *utc = Date{now.wYear, now.wMonth, now.wDay};
}

// --- device lock: a named event per device --------------------------------------

bool IsHeld(void*, const char* key)
{
    HANDLE e = OpenEventA(SYNCHRONIZE, FALSE, key);
    if (!e)
        return false;
    CloseHandle(e);
    return true;
}

DeviceLock Take(void*, const char* key)
{
    HANDLE e = CreateEventA(nullptr, TRUE, TRUE, key);
    if (e && GetLastError() != ERROR_ALREADY_EXISTS)
        return reinterpret_cast<DeviceLock>(e);
    if (e)
        CloseHandle(e);
    return nullptr;
}

void Release(void*, DeviceLock lock)
{
    if (lock)
        CloseHandle(reinterpret_cast<HANDLE>(lock));
}

// --- messages ------------------------------------------------------------------

int Tell(void* context, const char* text, const char* caption, unsigned buttons)
{
    const Win32Platform& p = Self(context);
    if (p.messageHook)
        return p.messageHook(text, caption, buttons);
    return MessageBoxA(nullptr, text, caption, buttons);
}

void Log(void* context, const char* text)
{
    const Win32Platform& p = Self(context);
    if (p.logHook)
        p.logHook(text);
}

bool StopClicked(void*)
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_LBUTTONDOWN;
}

} // namespace

void InitWin32Platform(Win32Platform* p, const char* driverFolder)
{
    void* self = p;
    p->platform.usb = Win32UsbOps();
    p->platform.settings = SettingsOps{self, ReadInt, ReadText, WriteSetting};
    p->platform.files = FileOps{self, Resolve, EnsureFolder, Open, Size, ReadFileData, WriteFileData, Rewrite,
                                ModifiedDate, CloseFile, Remove, AppendText, OpenToEveryUser};
    p->platform.clock = ClockOps{self, SleepMs, Milliseconds, Today};
    p->platform.lock = LockOps{self, IsHeld, Take, Release};
    p->platform.messages = MessageOps{self, Tell, Log, StopClicked};
    p->driverFolder = driverFolder ? driverFolder : "";
    char dir[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    p->windowsDir = n == 0 || n >= MAX_PATH ? std::string() : std::string(dir);
}

} // namespace platform
