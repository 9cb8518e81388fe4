#include "twain/source_files.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "scan/misc.h"

void UseSourceFiles(SourceApp& app)
{
    snprintf(app.messageBoxTitle, sizeof(app.messageBoxTitle), "%s", kMessageBoxTitle);

    char directory[PATH_BUFFER_SIZE];
    if (!ModuleDirectory(directory, sizeof(directory)))
        directory[0] = 0;
    // A directory too long for the buffer would cut the name: use the bare name then.
    if (strlen(directory) + strlen(kHelpFileName) >= sizeof(app.helpPath))
        directory[0] = 0;
    snprintf(app.helpPath, sizeof(app.helpPath), "%s%s", directory, kHelpFileName);

    // The profile is the help file's name with "INI" for its last three characters.
    snprintf(app.profileName, sizeof(app.profileName), "%s", kHelpFileName);
    size_t length = strlen(app.profileName);
    memcpy(app.profileName + length - 3, "INI", 3);

    // Keep the framework's own strings once; a repeated open must not save ours.
    if (!app.frameworkSaved) {
        app.savedFramework = app.framework;
        app.frameworkSaved = true;
    }
    app.framework.helpFilePath = app.helpPath;
    app.framework.profileName = app.profileName;
}

void RestoreFrameworkFiles(SourceApp& app)
{
    if (!app.frameworkSaved)
        return;
    app.framework = app.savedFramework;
    app.frameworkSaved = false;
}

bool OemProfileName(const char* productName, char* out, size_t size)
{
    if (!productName || size < 13)
        return false;
    char stem[9] = "";
    size_t length = strnlen(productName, 8);
    if (length == 0)
        return false;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(productName[i]);
        const bool unsafe = c < 0x20 || strchr(" \\/:*?\"<>|", c) != nullptr;
        stem[i] = unsafe ? '_' : static_cast<char>(c);
    }
    stem[length] = 0;
    snprintf(out, size, "%s.INI", stem);
    return true;
}
