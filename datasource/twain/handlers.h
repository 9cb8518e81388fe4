// Triplet handlers reached from DS_Entry. Each gets the caller's identity, the
// message and the triplet's data; it returns a TWRC_ code and, on failure, leaves
// a condition code in theApp for DAT_STATUS.
#pragma once

#include "twain/twain.h"

typedef TW_UINT16 (*TripletHandler)(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);

// Trivial handlers
TW_UINT16 OnNull(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnQuerySupport(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnStatus(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnXferGroup(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnUnsupported(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);

// Identity and lifecycle
TW_UINT16 OnIdentityGet(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnOpenDS(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnCloseDS(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);

// Capabilities (all five reading and writing messages)
TW_UINT16 OnCapability(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);

// Enable, disable, events
TW_UINT16 OnEnableDS(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnDisableDS(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnProcessEvent(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);

// Image information and transfers
TW_UINT16 OnPendingXfers(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnSetupMemXfer(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnSetupFileXfer(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnImageInfo(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnImageLayout(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnImageMemXfer(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnImageNativeXfer(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
TW_UINT16 OnImageFileXfer(pTW_IDENTITY origin, TW_UINT16 msg, TW_MEMREF data);
