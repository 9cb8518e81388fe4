// What differs between the 32-bit and the 64-bit build where Windows lays files
// out: each Source Manager looks for sources in its own TWAIN folder under the
// Windows directory and loads only modules of its own architecture.
#pragma once

#include <string>

namespace architecture {

constexpr bool k64Bit = sizeof(void*) == 8;

// "twain_32" or "twain_64", under the Windows directory.
constexpr const char* kTwainFolder = k64Bit ? "twain_64" : "twain_32";

// The vendored TWAIN Working Group Source Manager of this build's architecture,
// as a Windows path, when `sharedDir` is the Unix path of the shared folder.
inline std::string VendoredManager(const char* sharedDir)
{
    std::string path = std::string("Z:") + sharedDir + "/vendor/twaindsm-2.4.3/" +
                       (k64Bit ? "64" : "32") + "/TWAINDSM.dll";
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

}  // namespace architecture
