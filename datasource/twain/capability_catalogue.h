// The capabilities the source answers and, for each of the five messages, what it
// answers or changes.
#pragma once

#include "twain/twain.h"

enum class Container : uint8_t { None, OneValue, Enumeration, Range };

// Where the value of an answer comes from.
enum class CapValue : uint8_t {
    Constant,          // the answer's constant
    XferCount,         // xferCount (sign-extended into the item)
    XferMech,          // xferMech (sign-extended into the item)
    ShowIndicators,
    PixelType,         // pixel type of the current image type
    BitDepth,          // bit depth of the current image type
    Resolution,        // the record's resolution
    FeedAnswer,        // the device's answer to "can it feed paper out"
    XferMechList,      // {TWSX_MEMORY, TWSX_NATIVE, TWSX_FILE}
    PixelTypeList,     // {TWPT_BW, TWPT_GRAY} and TWPT_RGB when colour capable
    SupportedCapsList, // kSupportedCaps
    ResolutionRange,   // 50 .. the driver's maximum, step 50, default 300, current
};

struct CapAnswer {
    Container container;   // None: not answered (TWCC_BADCAP)
    TW_UINT16 itemType;
    CapValue value;
    double constant;
};

enum class CapReset : uint8_t {
    None,            // not answered (TWCC_BADCAP)
    NoChange,        // success, nothing changes
    XferCount,       // xferCount := -1
    XferMech,        // xferMech := TWSX_MEMORY
    PixelTypeBW,     // image type := black and white
    Indicators,      // showIndicators := 1
};

// What MSG_SET does with one kind of container.
enum class CapSetAction : uint8_t {
    Refuse,
    Accept,              // success, nothing changes
    XferCount,           // xferCount and pendingCount := the item
    XferMech,            // xferMech := the item
    PixelType,           // image type from the item
    PixelTypeFirstItem,  // image type from the low byte of the first listed item
    CheckBitDepth,       // success only for the current pixel type's depth
    Resolution,          // resolution := the number, limited to 50..600
    Indicators,          // showIndicators := the item
    CheckFeeder,         // success only for the device's own answer
    Brightness,          // all-channel brightness := the number / 100
};

// How a one-value container's item is read.
enum class ItemWidth : uint8_t { Low16, Whole32 };

struct CapSet {
    bool answered;             // false: not in the catalogue (TWCC_BADCAP)
    CapSetAction oneValue;
    ItemWidth width;
    CapSetAction enumeration;
    CapSetAction range;
    TW_UINT16 refusedCode;     // for a refused container; TWCC_SUCCESS leaves the code as it is
    bool refusedTrace;         // whether a refusal passes the trace text
};

struct CapabilityRow {
    TW_UINT16 cap;
    CapAnswer get;
    CapAnswer getCurrent;
    CapAnswer getDefault;
    bool needsFeeder;          // reading messages fail with TWCC_BADCAP when the device cannot feed
    CapReset reset;
    CapSet set;
};

extern const CapabilityRow kCapabilities[];
extern const int kCapabilityCount;

// The capabilities CAP_SUPPORTEDCAPS lists, in its order.
extern const TW_UINT16 kSupportedCaps[];
extern const int kSupportedCapCount;

// The row of a capability number, or nullptr.
const CapabilityRow* FindCapability(TW_UINT16 cap);
