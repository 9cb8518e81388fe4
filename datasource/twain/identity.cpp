// DG_CONTROL / DAT_IDENTITY / MSG_GET: who this source is.
#include <string.h>

#include "twain/handlers.h"
#include "twain/source_app.h"
#include "twain/source_identity.h"
#include "kestrel_version.h"

void FillSourceIdentity(TW_IDENTITY* identity)
{
    memset(identity, 0, sizeof(*identity));
    identity->Id = 0;
    identity->Version.MajorNum = KESTREL_VERSION_MAJOR;
    identity->Version.MinorNum = KESTREL_VERSION_MINOR;
    identity->Version.Language = TWLG_USA;
    identity->Version.Country = TWCY_USA;
    strcpy(identity->Version.Info, KESTREL_VERSION_INFO);
    identity->ProtocolMajor = 1;
    identity->ProtocolMinor = 5;
    identity->SupportedGroups = DG_CONTROL | DG_IMAGE;
    strcpy(identity->Manufacturer, kManufacturer);
    strcpy(identity->ProductFamily, kProductFamily);
    strcpy(identity->ProductName, kProductName);
}

TW_UINT16 OnIdentityGet(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    FillSourceIdentity(static_cast<pTW_IDENTITY>(data));
    return TWRC_SUCCESS;
}
