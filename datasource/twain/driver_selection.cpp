#include "twain/driver_selection.h"

#include <stdio.h>
#include <string.h>

#include "scan/driver_functions.h"

enum { DRIVER_NAME_SIZE = 260 };

// Reads "Driver%02d" for `index`, trailing white space removed.
static void ReadDriverName(const char* profile, int index, char* name)
{
    char key[32];
    snprintf(key, sizeof(key), "Driver%02d", index);
    GetPrivateProfileStringA(kDriversSection, key, kNoDriver, name, DRIVER_NAME_SIZE, profile);
    size_t length = strlen(name);
    while (length > 0 && (name[length - 1] == ' ' || name[length - 1] == '\t' ||
                          name[length - 1] == '\r' || name[length - 1] == '\n'))
        name[--length] = 0;
}

static bool IsNoDriver(const char* name)
{
    return _stricmp(name, kNoDriver) == 0;
}

HMODULE SelectDriverModule(const char* profile)
{
    char candidate[DRIVER_NAME_SIZE];
    char firstName[DRIVER_NAME_SIZE] = "";
    int index = 0;
    ReadDriverName(profile, index, candidate);
    const bool haveFirst = !IsNoDriver(candidate);
    if (haveFirst)
        strcpy(firstName, candidate);

    HMODULE module = nullptr;
    while (!module && !IsNoDriver(candidate)) {
        // An empty entry ("Driver01=") names nothing that could be loaded.
        if (candidate[0])
            module = ProbeDriverModule(candidate);
        if (module)
            break;
        ReadDriverName(profile, ++index, candidate);
        // An entry repeating the first name is skipped once, without probing it again.
        if (haveFirst && _stricmp(candidate, firstName) == 0)
            ReadDriverName(profile, ++index, candidate);
    }

    if (!module) {
        // Nothing answered the probe: load the preferred module as it is.
        char fallback[DRIVER_NAME_SIZE];
        ReadDriverName(profile, 0, fallback);
        const char* name = IsNoDriver(fallback) ? kFallbackDriver : fallback;
        if (name[0])
            module = LoadLibraryA(name);
        return module;
    }

    if (index > 0)
        WritePrivateProfileStringA(kDriversSection, "Driver00", candidate, profile);
    return module;
}
