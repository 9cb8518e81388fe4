// The help file and profile (INI) file the source uses while it is open.
#pragma once

#include <stddef.h>

#include "twain/source_app.h"

#define kHelpFileName     "Fenwick.hlp"
#define kMessageBoxTitle  "Zureruri Zedu"

// Sets the message box title, the help path (the kestrel module's directory plus
// "Fenwick.hlp") and the profile name ("Fenwick.INI", no directory, so the Windows
// directory), and puts both in force in place of the framework's own strings.
void UseSourceFiles(SourceApp& app);

// Gives the framework back the strings it had before UseSourceFiles.
void RestoreFrameworkFiles(SourceApp& app);

// Profile name of a host under "OEM" = 1: the first eight characters of its
// ProductName (a TW_STR32) with blanks made underscores, plus ".INI". Characters
// that would lead out of the Windows directory or are not allowed in a file name
// also become underscores. False, and `out` untouched, for an empty product name.
bool OemProfileName(const char* productName, char* out, size_t size);
