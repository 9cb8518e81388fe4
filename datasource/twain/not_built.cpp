// Handlers whose behaviour is not built yet. Each one is routed and state-gated
// like the finished ones, then fails visibly: TWCC_BUMMER and a trace naming it.
// Remove a handler from here when its real implementation lands.
#include <stdio.h>

#include "twain/handlers.h"
#include "twain/source_app.h"
#include "twain/trace.h"

static TW_UINT16 NotBuiltYet(const char* handler)
{
    char text[96];
    snprintf(text, sizeof(text), "not built yet: %s", handler);
    DebugTrace(text);
    theApp.SetCondition(TWCC_BUMMER);
    return TWRC_FAILURE;
}

#define NOT_BUILT(name) \
    TW_UINT16 name(pTW_IDENTITY, TW_UINT16, TW_MEMREF) { return NotBuiltYet(#name); }

NOT_BUILT(OnEnableDS)
NOT_BUILT(OnDisableDS)
NOT_BUILT(OnProcessEvent)
NOT_BUILT(OnPendingXfers)
NOT_BUILT(OnSetupMemXfer)
NOT_BUILT(OnSetupFileXfer)
NOT_BUILT(OnImageInfo)
NOT_BUILT(OnImageLayout)
NOT_BUILT(OnImageMemXfer)
NOT_BUILT(OnImageNativeXfer)
NOT_BUILT(OnImageFileXfer)
