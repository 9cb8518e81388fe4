// Handlers that need no more than the protocol state.
#include "twain/handlers.h"
#include "twain/source_app.h"

// DG_CONTROL / DAT_NULL / any
TW_UINT16 OnNull(pTW_IDENTITY, TW_UINT16, TW_MEMREF)
{
    return TWRC_FAILURE;
}

// DG_CONTROL / DAT_CAPABILITY / MSG_QUERYSUPPORT: answered without looking at the data.
TW_UINT16 OnQuerySupport(pTW_IDENTITY, TW_UINT16, TW_MEMREF)
{
    return TWRC_SUCCESS;
}

// DG_CONTROL / DAT_STATUS / MSG_GET: the only triplet that clears the condition code.
TW_UINT16 OnStatus(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    if (!data)
        return TWRC_FAILURE;  // nowhere to report: keep the code for a proper request
    pTW_STATUS status = static_cast<pTW_STATUS>(data);
    status->ConditionCode = theApp.conditionCode;
    status->Reserved = theApp.conditionReserved;
    theApp.conditionCode = TWCC_SUCCESS;
    return TWRC_SUCCESS;
}

// DG_CONTROL / DAT_XFERGROUP / MSG_GET
TW_UINT16 OnXferGroup(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    *static_cast<TW_UINT32*>(data) = DG_IMAGE;
    return TWRC_SUCCESS;
}

// DG_IMAGE colour-response, JPEG and palette triplets: known, not offered.
TW_UINT16 OnUnsupported(pTW_IDENTITY, TW_UINT16, TW_MEMREF)
{
    theApp.SetCondition(TWCC_BADPROTOCOL);
    return TWRC_FAILURE;
}
