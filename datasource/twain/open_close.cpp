// DG_CONTROL / DAT_IDENTITY / MSG_OPENDS and MSG_CLOSEDS: the start and end of a
// host's use of the source, with the loading and release of the driver module.
#include <string.h>

#include "scan/settings_store.h"
#include "twain/driver_selection.h"
#include "twain/handlers.h"
#include "twain/host_rules.h"
#include "twain/source_app.h"
#include "twain/source_files.h"
#include "twain/source_identity.h"
#include "twain/trace.h"
#include "twain/transfer_state.h"
#include "ui/message_box.h"

// True when the identity the Source Manager opens is this source's.
static bool IsOurProduct(const TW_IDENTITY* identity)
{
    if (!identity)
        return false;
    char name[sizeof(TW_STR32) + 1] = "";
    memcpy(name, identity->ProductName, strnlen(identity->ProductName, sizeof(TW_STR32)));
    return _stricmp(name, kProductName) == 0;
}

// Switches to a profile of the host's own when the profile in use asks for it.
static void ApplyOemProfile(SourceApp& app)
{
    int16_t oem = 0;
    if (!ReadProfileNumber(kScanSettingsSection, "OEM", app.profileName, &oem) || oem != 1)
        return;
    app.hostQuirks |= HOST_QUIRK_OEM_PROFILE;
    char name[PATH_BUFFER_SIZE];
    if (OemProfileName(app.appIdentity.ProductName, name, sizeof(name)))
        strcpy(app.profileName, name);
}

TW_UINT16 OnOpenDS(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    SourceApp& app = theApp;
    app.twainState = 3;
    ++app.openCount;
    bool opened = false;

    // A source already open with its driver refuses a second open.
    const bool alreadyOpen = app.openCount >= 2 && app.driver.IsLoaded();
    bool loadedHere = false;
    if (!alreadyOpen) {
        UseSourceFiles(app);
        if (!app.driver.IsLoaded()) {
            if (HMODULE module = SelectDriverModule(app.profileName)) {
                app.driver.Attach(module);
                opened = loadedHere = true;
            } else {
                DebugTrace("no driver");
                ShowMessageBox(nullptr, "load dll failure!", "", MB_OK);
            }
        }
    }

    app.hostQuirks = HostQuirksOfProduct(app.appIdentity.ProductName);
    ApplyOemProfile(app);
    LoadScanSettings(app.settings, app.driver, app.profileName);
    app.xferCount = -1;
    app.pendingCount = -1;
    app.xferMech = TWSX_MEMORY;

    if (opened && IsOurProduct(static_cast<const TW_IDENTITY*>(data))) {
        app.twainState = 4;
        return TWRC_SUCCESS;
    }
    // A refused open is not counted, and gives back a module it loaded itself: the
    // host will not close a source it could not open, so otherwise the count would
    // stay raised, the module would never be released, and every later open would
    // be refused as a second one.
    --app.openCount;
    if (loadedHere)
        app.driver.Release();
    app.SetCondition(TWCC_NODS);
    return TWRC_FAILURE;
}

TW_UINT16 OnCloseDS(pTW_IDENTITY, TW_UINT16, TW_MEMREF)
{
    SourceApp& app = theApp;
    // A close that matches no counted open (one after a refused open) keeps the count at 0.
    if (app.openCount > 0)
        --app.openCount;
    // A host closing in the middle of a memory image: its page is closed first.
    if (!theTransfer.mem.newImage)
        EndMemoryImage();
    if (app.driver.IsLoaded() && app.openCount <= 0)
        app.driver.Release();
    app.twainState = 3;
    RestoreFrameworkFiles(app);
    return TWRC_SUCCESS;
}
