// DS_Entry: the one TWAIN entry point of the data source.
#include <string.h>

#include "twain/dispatch.h"
#include "twain/source_app.h"

extern "C" __declspec(dllexport) TW_UINT16 WINAPI DS_Entry(pTW_IDENTITY pOrigin, TW_UINT32 DG,
                                                           TW_UINT16 DAT, TW_UINT16 MSG,
                                                           TW_MEMREF pData)
{
    // Any MSG_OPENDS, whatever its group and type, records both identities before
    // routing. A Source Manager may pass a NULL origin (TWAINDSM_USEAPPID), so the
    // copies are taken only from the pointers that are there.
    if (MSG == MSG_OPENDS) {
        if (pOrigin)
            memcpy(&theApp.appIdentity, pOrigin, sizeof(TW_IDENTITY));
        if (pData)
            memcpy(&theApp.sourceIdentity, pData, sizeof(TW_IDENTITY));
    }
    try {
        return DispatchTriplet(pOrigin, DG, DAT, MSG, pData);
    } catch (...) {
        // Nothing may unwind into the host.
        theApp.SetCondition(TWCC_LOWMEMORY);
        return TWRC_FAILURE;
    }
}
