#include "twain/capability_container.h"

#include <stddef.h>
#include <string.h>

static ContainerAllocator g_allocator = nullptr;

void SetContainerAllocator(ContainerAllocator allocator)
{
    g_allocator = allocator;
}

TW_FIX32 FloatToFix32(double value)
{
    double scaled = value * 65536.0 + 0.5;
    // Outside the 32-bit range the cut is undefined; such numbers saturate.
    if (scaled >= 2147483647.0)
        scaled = 2147483647.0;
    if (scaled <= -2147483648.0)
        scaled = -2147483648.0;
    const TW_INT32 fixed = static_cast<TW_INT32>(scaled);
    TW_FIX32 result;
    result.Whole = static_cast<TW_INT16>(fixed >> 16);
    result.Frac = static_cast<TW_UINT16>(fixed & 0xFFFF);
    return result;
}

double Fix32ToFloat(TW_FIX32 value)
{
    return value.Whole + value.Frac / 65536.0;
}

TW_UINT32 Fix32ToItem(TW_FIX32 value)
{
    return static_cast<TW_UINT16>(value.Whole) | (static_cast<TW_UINT32>(value.Frac) << 16);
}

TW_FIX32 ItemToFix32(TW_UINT32 item)
{
    TW_FIX32 value;
    value.Whole = static_cast<TW_INT16>(item & 0xFFFF);
    value.Frac = static_cast<TW_UINT16>(item >> 16);
    return value;
}

SIZE_T EnumerationBlockSize(int count)
{
    const SIZE_T listBytes = static_cast<SIZE_T>(count) * sizeof(TW_UINT16);
    return sizeof(TW_ENUMERATION) + 2 * listBytes;
}

// Allocates a movable zero-filled block, lets `fill` write it, and hands it over.
template <typename Fill>
static TW_UINT16 HandOver(pTW_CAPABILITY cap, TW_UINT16 conType, SIZE_T bytes, Fill fill)
{
    cap->ConType = conType;
    const UINT flags = GMEM_MOVEABLE | GMEM_ZEROINIT;
    HGLOBAL block = g_allocator ? g_allocator(flags, bytes) : GlobalAlloc(flags, bytes);
    if (!block)
        return TWCC_LOWMEMORY;
    void* memory = GlobalLock(block);
    if (!memory) {
        GlobalFree(block);
        return TWCC_LOWMEMORY;
    }
    fill(static_cast<TW_UINT8*>(memory));
    GlobalUnlock(block);
    cap->hContainer = block;
    return TWCC_SUCCESS;
}

TW_UINT16 ContainerOneValue(pTW_CAPABILITY cap, TW_UINT16 itemType, TW_UINT32 item)
{
    return HandOver(cap, TWON_ONEVALUE, sizeof(TW_ONEVALUE), [&](TW_UINT8* memory) {
        TW_ONEVALUE value = {};
        value.ItemType = itemType;
        value.Item = item;
        memcpy(memory, &value, sizeof(value));
    });
}

TW_UINT16 ContainerEnumeration(pTW_CAPABILITY cap, TW_UINT16 itemType, const TW_UINT16* items,
                               int count, TW_UINT32 currentIndex, TW_UINT32 defaultIndex)
{
    return HandOver(cap, TWON_ENUMERATION, EnumerationBlockSize(count), [&](TW_UINT8* memory) {
        TW_ENUMERATION header = {};
        header.ItemType = itemType;
        header.NumItems = static_cast<TW_UINT32>(count);
        header.CurrentIndex = currentIndex;
        header.DefaultIndex = defaultIndex;
        const size_t headerBytes = offsetof(TW_ENUMERATION, ItemList);
        memcpy(memory, &header, headerBytes);
        memcpy(memory + headerBytes, items, static_cast<size_t>(count) * sizeof(TW_UINT16));
    });
}

TW_UINT16 ContainerRange(pTW_CAPABILITY cap, TW_UINT16 itemType, TW_UINT32 minValue,
                         TW_UINT32 maxValue, TW_UINT32 stepSize, TW_UINT32 defaultValue,
                         TW_UINT32 currentValue)
{
    return HandOver(cap, TWON_RANGE, sizeof(TW_RANGE), [&](TW_UINT8* memory) {
        TW_RANGE range = {};
        range.ItemType = itemType;
        range.MinValue = minValue;
        range.MaxValue = maxValue;
        range.StepSize = stepSize;
        range.DefaultValue = defaultValue;
        range.CurrentValue = currentValue;
        memcpy(memory, &range, sizeof(range));
    });
}

bool IsNumericItemType(TW_UINT16 itemType)
{
    return itemType <= TWTY_FIX32;
}

HostContainer ReadHostContainer(TW_UINT16 conType, TW_HANDLE handle)
{
    HostContainer host;
    if (!handle)
        return host;
    // GlobalSize is 0 for a handle that is not a live global block (and for an
    // empty one, which holds no container either).
    const SIZE_T size = GlobalSize(handle);
    if (size == 0)
        return host;
    const TW_UINT8* memory = static_cast<const TW_UINT8*>(GlobalLock(handle));
    if (!memory)
        return host;

    switch (conType) {
    case TWON_ONEVALUE:
        if (size >= sizeof(TW_ONEVALUE)) {
            TW_ONEVALUE value;
            memcpy(&value, memory, sizeof(value));
            host.itemType = value.ItemType;
            host.item = value.Item;
            host.readable = true;
        }
        break;
    case TWON_ENUMERATION: {
        const size_t headerBytes = offsetof(TW_ENUMERATION, ItemList);
        if (size >= headerBytes) {
            TW_ENUMERATION header;
            memcpy(&header, memory, headerBytes);
            host.itemType = header.ItemType;
            host.numItems = header.NumItems;
            host.readable = true;
            if (header.NumItems > 0 && size > headerBytes) {
                host.hasFirstItem = true;
                host.firstItemLowByte = memory[headerBytes];
            }
        }
        break;
    }
    default:
        host.readable = true;  // other layouts are accepted or refused by type alone
        break;
    }
    GlobalUnlock(handle);
    return host;
}
