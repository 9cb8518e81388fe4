// Capability containers in the TWAIN layouts (packed on 2-byte boundaries), built
// in movable, zero-filled global memory that the host frees with GlobalFree, and
// the reading of a host's container in place.
#pragma once

#include "twain/twain.h"

// TW_FIX32 <-> number. FloatToFix32 rounds by adding one half and cutting toward zero.
TW_FIX32 FloatToFix32(double value);
double Fix32ToFloat(TW_FIX32 value);

// A TW_FIX32 as it lies in a 32-bit container item: Whole in the low half.
TW_UINT32 Fix32ToItem(TW_FIX32 value);
TW_FIX32 ItemToFix32(TW_UINT32 item);

// Size of the block an enumeration of `count` 16-bit items is given.
SIZE_T EnumerationBlockSize(int count);

// Each builder writes ConType, then allocates and fills the block and stores its
// handle in hContainer. They return TWCC_SUCCESS, or TWCC_LOWMEMORY when no block
// could be obtained (ConType written, hContainer untouched).
TW_UINT16 ContainerOneValue(pTW_CAPABILITY cap, TW_UINT16 itemType, TW_UINT32 item);
// currentIndex and defaultIndex are positions in `items`.
TW_UINT16 ContainerEnumeration(pTW_CAPABILITY cap, TW_UINT16 itemType, const TW_UINT16* items,
                               int count, TW_UINT32 currentIndex = 0, TW_UINT32 defaultIndex = 0);
TW_UINT16 ContainerRange(pTW_CAPABILITY cap, TW_UINT16 itemType, TW_UINT32 minValue,
                         TW_UINT32 maxValue, TW_UINT32 stepSize, TW_UINT32 defaultValue,
                         TW_UINT32 currentValue);

// The allocator behind the builders; tests replace it to see memory run out.
typedef HGLOBAL (WINAPI *ContainerAllocator)(UINT flags, SIZE_T bytes);
void SetContainerAllocator(ContainerAllocator allocator);  // nullptr: GlobalAlloc

// What MSG_SET learns from a host's container. The block is locked, copied from
// and unlocked; it is never changed or freed.
struct HostContainer {
    bool readable = false;      // a lockable global block holding the container's header
    TW_UINT16 itemType = 0;
    TW_UINT32 item = 0;         // one value: Item
    TW_UINT32 numItems = 0;     // enumeration: NumItems
    bool hasFirstItem = false;  // enumeration: at least one item lies inside the block
    TW_UINT8 firstItemLowByte = 0;
};
HostContainer ReadHostContainer(TW_UINT16 conType, TW_HANDLE handle);

// True for the item types that hold a number (TWTY_INT8 .. TWTY_FIX32).
bool IsNumericItemType(TW_UINT16 itemType);
