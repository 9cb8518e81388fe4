// Free disk space and the data source module's directory.
#include "scan/misc.h"

#include <string.h>

#include "ui/module_instance.h"

namespace {

// Root of the volume of a full path: "X:\" or "\\server\share\".
bool VolumeRoot(const char* fullPath, char* root, size_t size)
{
    size_t length = 0;
    if (fullPath[0] == '\\' && fullPath[1] == '\\') {
        int separators = 0;
        for (length = 2; fullPath[length] && separators < 2; ++length)
            if (fullPath[length] == '\\')
                ++separators;
        if (separators < 2)
            return false;   // "\\server\share" without a folder: add the backslash
    } else if (fullPath[0] && fullPath[1] == ':') {
        length = 2;
    } else {
        return false;
    }
    if (length + 2 > size)
        return false;
    memcpy(root, fullPath, length);
    if (root[length - 1] != '\\')
        root[length++] = '\\';
    root[length] = 0;
    return true;
}

} // namespace

bool HasDiskSpaceAt(const char* path, uint64_t bytes)
{
    if (!path || !path[0])
        return false;
    char fullPath[MAX_PATH];
    char* filePart = nullptr;
    DWORD length = GetFullPathNameA(path, MAX_PATH, fullPath, &filePart);
    if (length == 0 || length >= MAX_PATH)
        return false;
    char root[MAX_PATH];
    if (!VolumeRoot(fullPath, root, sizeof(root)))
        return false;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters))
        return false;
    const uint64_t freeBytes = static_cast<uint64_t>(freeClusters) * sectorsPerCluster *
                               bytesPerSector;
    return freeBytes >= bytes;
}

bool HasDiskSpace(uint64_t bytes)
{
    char modulePath[MAX_PATH];
    DWORD length = GetModuleFileNameA(KestrelInstance(), modulePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    return HasDiskSpaceAt(modulePath, bytes);
}

bool ModuleDirectory(char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return false;
    buffer[0] = 0;
    char modulePath[MAX_PATH];
    DWORD length = GetModuleFileNameA(KestrelInstance(), modulePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    char* lastSeparator = strrchr(modulePath, '\\');
    size_t keep = lastSeparator ? static_cast<size_t>(lastSeparator - modulePath) + 1 : 0;
    if (keep + 1 > size)
        return false;
    memcpy(buffer, modulePath, keep);
    buffer[keep] = 0;
    return true;
}
