// DG_CONTROL / DAT_CAPABILITY / MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET
// and MSG_SET: the catalogue's answers built into containers, and the host's
// containers applied to the live settings.
#include <math.h>
#include <stdio.h>

#include "twain/capability_catalogue.h"
#include "twain/capability_container.h"
#include "twain/handlers.h"
#include "twain/source_app.h"
#include "twain/trace.h"

namespace {

const int kMinSetResolution = 50;
const int kMaxSetResolution = 600;
const int kDefaultResolution = 300;

const char* FailureText(TW_UINT16 msg)
{
    switch (msg) {
    case MSG_GET:        return "Get Bad cap code is %d";
    case MSG_GETCURRENT: return "GetCurrent Cap fail %d";
    case MSG_GETDEFAULT: return "GetDefault Cap fail %d";
    case MSG_RESET:      return "ResetSet Cap fail %d";
    default:             return "Set Cap fail %d";
    }
}

void TraceFailure(TW_UINT16 msg, TW_UINT16 cap)
{
    char text[64];
    snprintf(text, sizeof(text), FailureText(msg), cap);
    DebugTrace(text);
}

// Fails with `code` (TWCC_SUCCESS leaves the condition code as it is).
TW_UINT16 Fail(TW_UINT16 msg, TW_UINT16 cap, TW_UINT16 code, bool trace)
{
    if (code != TWCC_SUCCESS)
        theApp.SetCondition(code);
    if (trace)
        TraceFailure(msg, cap);
    return TWRC_FAILURE;
}

bool CanFeed()
{
    return theApp.driver.IsCapableOf(IO_CAP_FEEDOUT) != 0;
}

bool ColourCapable()
{
    return theApp.driver.IsCapableOf(IO_CAP_COLOR) != 0;
}

TW_UINT16 PixelTypeOfMode(int mode)
{
    if (mode == MODE_COLOR)
        return TWPT_RGB;
    if (mode == MODE_GRAY)
        return TWPT_GRAY;
    return TWPT_BW;
}

TW_UINT16 BitDepthOfMode(int mode)
{
    if (mode == MODE_COLOR)
        return 24;
    if (mode == MODE_GRAY)
        return 8;
    return 1;
}

int16_t ModeOfPixelType(int pixelType)
{
    if (pixelType == TWPT_BW)
        return MODE_BW;
    if (pixelType == TWPT_GRAY)
        return MODE_GRAY;
    return ColourCapable() ? MODE_COLOR : MODE_GRAY;
}

// A 16-bit value in a 32-bit item: the upper half is the sign extension or 0.
TW_UINT32 Item16(int16_t value, bool signExtend)
{
    return signExtend ? static_cast<TW_UINT32>(static_cast<TW_INT32>(value))
                      : static_cast<TW_UINT16>(value);
}

TW_UINT32 ItemOfNumber(TW_UINT16 itemType, double number)
{
    return itemType == TWTY_FIX32 ? Fix32ToItem(FloatToFix32(number))
                                  : Item16(static_cast<int16_t>(number), false);
}

TW_UINT32 OneValueItem(const CapAnswer& answer)
{
    const ScanSettings& settings = theApp.settings;
    switch (answer.value) {
    case CapValue::XferCount:      return Item16(theApp.xferCount, true);
    case CapValue::XferMech:       return Item16(theApp.xferMech, true);
    case CapValue::ShowIndicators: return Item16(theApp.showIndicators, false);
    case CapValue::PixelType:      return PixelTypeOfMode(settings.mode);
    case CapValue::BitDepth:       return BitDepthOfMode(settings.mode);
    case CapValue::Resolution:     return ItemOfNumber(answer.itemType, settings.resolution);
    case CapValue::FeedAnswer:
        return Item16(static_cast<int16_t>(theApp.driver.IsCapableOf(IO_CAP_FEEDOUT)), false);
    default:                       return ItemOfNumber(answer.itemType, answer.constant);
    }
}

// Position of `value` in the list; 0 when it is not listed (a value set outside
// the list, such as an unknown transfer mechanism).
TW_UINT32 IndexIn(const TW_UINT16* items, int count, TW_UINT16 value)
{
    for (int i = 0; i < count; ++i) {
        if (items[i] == value)
            return static_cast<TW_UINT32>(i);
    }
    return 0;
}

// CurrentIndex and DefaultIndex point at the current and the default item, so
// that a host reading the current value from the enumeration finds what it set.
TW_UINT16 BuildEnumeration(pTW_CAPABILITY cap, const CapAnswer& answer)
{
    switch (answer.value) {
    case CapValue::XferMechList: {
        static const TW_UINT16 mechanisms[] = {TWSX_MEMORY, TWSX_NATIVE, TWSX_FILE};
        const TW_UINT16 current = static_cast<TW_UINT16>(theApp.xferMech);
        return ContainerEnumeration(cap, answer.itemType, mechanisms, 3,
                                    IndexIn(mechanisms, 3, current),
                                    IndexIn(mechanisms, 3, TWSX_MEMORY));
    }
    case CapValue::PixelTypeList: {
        static const TW_UINT16 types[] = {TWPT_BW, TWPT_GRAY, TWPT_RGB};
        const int count = ColourCapable() ? 3 : 2;
        return ContainerEnumeration(cap, answer.itemType, types, count,
                                    IndexIn(types, count, PixelTypeOfMode(theApp.settings.mode)),
                                    IndexIn(types, count, TWPT_BW));
    }
    default:
        // The list of supported capabilities has no current item.
        return ContainerEnumeration(cap, answer.itemType, kSupportedCaps, kSupportedCapCount);
    }
}

TW_UINT16 BuildRange(pTW_CAPABILITY cap, const CapAnswer& answer)
{
    short maximum = 200, minimum = 50, step = 50;
    theApp.driver.ResolutionInfo(&maximum, &minimum, &step);
    const auto fix = [](double number) { return Fix32ToItem(FloatToFix32(number)); };
    return ContainerRange(cap, answer.itemType, fix(minimum), fix(maximum), fix(step),
                          fix(kDefaultResolution), fix(theApp.settings.resolution));
}

TW_UINT16 Answer(pTW_CAPABILITY cap, TW_UINT16 msg, const CapabilityRow* row)
{
    const CapAnswer* answer = nullptr;
    if (row) {
        answer = msg == MSG_GET ? &row->get
               : msg == MSG_GETCURRENT ? &row->getCurrent : &row->getDefault;
    }
    if (!answer || answer->container == Container::None || (row->needsFeeder && !CanFeed()))
        return Fail(msg, cap->Cap, TWCC_BADCAP, true);

    TW_UINT16 code = TWCC_SUCCESS;
    switch (answer->container) {
    case Container::OneValue:
        code = ContainerOneValue(cap, answer->itemType, OneValueItem(*answer));
        break;
    case Container::Enumeration:
        code = BuildEnumeration(cap, *answer);
        break;
    default:
        code = BuildRange(cap, *answer);
        break;
    }
    if (code != TWCC_SUCCESS)
        return Fail(msg, cap->Cap, code, true);
    return TWRC_SUCCESS;
}

TW_UINT16 Reset(pTW_CAPABILITY cap, const CapabilityRow* row)
{
    switch (row ? row->reset : CapReset::None) {
    case CapReset::None:
        return Fail(MSG_RESET, cap->Cap, TWCC_BADCAP, true);
    case CapReset::NoChange:
        break;
    case CapReset::XferCount:
        theApp.xferCount = -1;
        break;
    case CapReset::XferMech:
        theApp.xferMech = TWSX_MEMORY;
        break;
    case CapReset::PixelTypeBW:
        theApp.settings.mode = MODE_BW;
        break;
    case CapReset::Indicators:
        theApp.showIndicators = 1;
        break;
    }
    return TWRC_SUCCESS;
}

// The whole number a host's item stands for, cut toward zero.
int NumberOfItem(TW_UINT32 item, ItemWidth width)
{
    if (width == ItemWidth::Low16)
        return static_cast<int16_t>(item & 0xFFFF);
    return static_cast<int>(trunc(Fix32ToFloat(ItemToFix32(item))));
}

// Carries out one MSG_SET action; false when the value is refused.
bool Apply(CapSetAction action, const HostContainer& host, ItemWidth width)
{
    const int value = NumberOfItem(host.item, width);
    ScanSettings& settings = theApp.settings;
    switch (action) {
    case CapSetAction::Refuse:
        return false;
    case CapSetAction::Accept:
        return true;
    case CapSetAction::XferCount:
        theApp.xferCount = static_cast<int16_t>(value);
        theApp.pendingCount = static_cast<int16_t>(value);
        return true;
    case CapSetAction::XferMech:
        theApp.xferMech = static_cast<int16_t>(value);
        return true;
    case CapSetAction::PixelType:
        settings.mode = ModeOfPixelType(value);
        return true;
    case CapSetAction::PixelTypeFirstItem:
        if (!host.hasFirstItem)
            return false;
        settings.mode = ModeOfPixelType(host.firstItemLowByte);
        return true;
    case CapSetAction::CheckBitDepth: {
        const TW_UINT16 pixelType = PixelTypeOfMode(settings.mode);
        return (value == 8 && pixelType == TWPT_GRAY) || (value == 24 && pixelType == TWPT_RGB) ||
               (value == 1 && pixelType == TWPT_BW);
    }
    case CapSetAction::Resolution: {
        int dpi = value < kMinSetResolution ? kMinSetResolution : value;
        settings.resolution = static_cast<int16_t>(dpi > kMaxSetResolution ? kMaxSetResolution : dpi);
        return true;
    }
    case CapSetAction::Indicators:
        theApp.showIndicators = static_cast<int16_t>(value);
        return true;
    case CapSetAction::CheckFeeder:
        return static_cast<int16_t>(value) ==
               static_cast<int16_t>(theApp.driver.IsCapableOf(IO_CAP_FEEDOUT));
    case CapSetAction::Brightness: {
        // The record holds -100..100; a larger TWAIN number is taken as the nearest end.
        int brightness = value / 100;
        brightness = brightness < -100 ? -100 : brightness > 100 ? 100 : brightness;
        settings.adjust[ADJUST_ALL].brightness = static_cast<int16_t>(brightness);
        return true;
    }
    }
    return false;
}

TW_UINT16 Set(pTW_CAPABILITY cap, const CapabilityRow* row)
{
    if (!row || !row->set.answered)
        return Fail(MSG_SET, cap->Cap, TWCC_BADCAP, true);
    const CapSet& rule = row->set;

    CapSetAction action = CapSetAction::Refuse;
    if (cap->ConType == TWON_ONEVALUE)
        action = rule.oneValue;
    else if (cap->ConType == TWON_ENUMERATION)
        action = rule.enumeration;
    else if (cap->ConType == TWON_RANGE)
        action = rule.range;
    if (action == CapSetAction::Refuse)
        return Fail(MSG_SET, cap->Cap, rule.refusedCode, rule.refusedTrace);

    // The host's block must be a readable container; a one-value item must be a number.
    const HostContainer host = ReadHostContainer(cap->ConType, cap->hContainer);
    if (!host.readable || (cap->ConType == TWON_ONEVALUE && !IsNumericItemType(host.itemType)))
        return Fail(MSG_SET, cap->Cap, TWCC_BADVALUE, rule.refusedTrace);

    if (!Apply(action, host, rule.width))
        return Fail(MSG_SET, cap->Cap, TWCC_BADVALUE, true);
    return TWRC_SUCCESS;
}

}  // namespace

TW_UINT16 OnCapability(pTW_IDENTITY, TW_UINT16 msg, TW_MEMREF data)
{
    pTW_CAPABILITY cap = static_cast<pTW_CAPABILITY>(data);
    if (!cap) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    const CapabilityRow* row = FindCapability(cap->Cap);
    switch (msg) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
        return Answer(cap, msg, row);
    case MSG_RESET:
        return Reset(cap, row);
    default:
        return Set(cap, row);
    }
}
