// Shared set-up of the open/close, capability and settings tests: profile files
// in the Windows directory, a clean application object, and DS_Entry as a Source
// Manager calls it.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>

#include "twain/source_app.h"
#include "twain/twain.h"

extern "C" TW_UINT16 WINAPI DS_Entry(pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);

namespace caps {

inline std::string WindowsPath(const char* fileName)
{
    char directory[MAX_PATH] = "";
    GetWindowsDirectoryA(directory, sizeof(directory));
    return std::string(directory) + "\\" + fileName;
}

// Removes a profile file from the Windows directory, flushing the platform's
// cached copy first so the next read sees no file.
inline void RemoveProfile(const char* fileName)
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName);
    DeleteFileA(WindowsPath(fileName).c_str());
}

inline bool ProfileExists(const char* fileName)
{
    return GetFileAttributesA(WindowsPath(fileName).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void WriteKey(const char* section, const char* key, const char* value,
                     const char* fileName = "Fenwick.INI")
{
    ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, fileName));
}

inline std::string ReadKey(const char* section, const char* key,
                           const char* fileName = "Fenwick.INI")
{
    char value[260] = "";
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof(value), fileName);
    return value;
}

// The file as text, after the platform has written its cached copy.
inline std::string ProfileText(const char* fileName)
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName);
    std::ifstream file(WindowsPath(fileName), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Puts the application object back to the state of a freshly loaded module.
inline void ResetSourceApp()
{
    theApp.driver.Release();
    theApp.twainState = 0;
    theApp.conditionCode = TWCC_SUCCESS;
    theApp.conditionReserved = 0;
    theApp.appIdentity = TW_IDENTITY{};
    theApp.sourceIdentity = TW_IDENTITY{};
    theApp.openCount = 0;
    theApp.settings = ScanSettings{};
    theApp.helpPath[0] = 0;
    theApp.profileName[0] = 0;
    theApp.messageBoxTitle[0] = 0;
    theApp.parentWindow = nullptr;
    theApp.framework = FrameworkStrings{};
    theApp.savedFramework = FrameworkStrings{};
    theApp.frameworkSaved = false;
    theApp.hostQuirks = 0;
    theApp.xferCount = -1;
    theApp.pendingCount = -1;
    theApp.xferMech = TWSX_MEMORY;
    theApp.showIndicators = 1;
}

// A host talking to the source through DS_Entry.
class Host {
public:
    explicit Host(const char* productName = "Caps Test Host")
    {
        strncpy(identity_.ProductName, productName, sizeof(identity_.ProductName) - 1);
        strcpy(source_.ProductName, "Zureruri Zedu");
        source_.Id = 7;
    }

    TW_UINT16 Open() { return DS_Entry(&identity_, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_); }
    TW_UINT16 Close() { return DS_Entry(&identity_, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_); }
    TW_UINT16 Cap(TW_UINT16 msg, TW_CAPABILITY* cap)
    {
        return DS_Entry(&identity_, DG_CONTROL, DAT_CAPABILITY, msg, cap);
    }
    TW_UINT16 Condition()
    {
        TW_STATUS status = {0xFFFF, 0xFFFF};
        EXPECT_EQ(DS_Entry(&identity_, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
        return status.ConditionCode;
    }

    TW_IDENTITY& Identity() { return identity_; }
    TW_IDENTITY& Source() { return source_; }

private:
    TW_IDENTITY identity_ = {};
    TW_IDENTITY source_ = {};
};

}  // namespace caps
