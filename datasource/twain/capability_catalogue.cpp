#include "twain/capability_catalogue.h"

// Reading answers
#define NO                { Container::None, 0, CapValue::Constant, 0 }
#define ONE(type, value)  { Container::OneValue, TWTY_##type, CapValue::value, 0 }
#define ONEC(type, k)     { Container::OneValue, TWTY_##type, CapValue::Constant, k }
#define ENUM(type, list)  { Container::Enumeration, TWTY_##type, CapValue::list, 0 }
#define RANGE(type, r)    { Container::Range, TWTY_##type, CapValue::r, 0 }

// MSG_SET: one-value action and item width, enumeration, range, and how a refused
// container fails (condition code, trace text).
#define SET(one, width, en, range, code, trace) \
    { true, CapSetAction::one, ItemWidth::width, CapSetAction::en, CapSetAction::range, code, trace }
#define SET_NONE \
    { false, CapSetAction::Refuse, ItemWidth::Low16, CapSetAction::Refuse, CapSetAction::Refuse, \
      TWCC_BADCAP, true }
#define KEEP_CODE TWCC_SUCCESS

#define FEEDER true
#define ANY_DEVICE false

const CapabilityRow kCapabilities[] = {
    { CAP_XFERCOUNT,
      ONE(UINT16, XferCount), ONE(UINT16, XferCount), ONE(UINT16, XferCount), ANY_DEVICE,
      CapReset::XferCount,
      SET(XferCount, Low16, Refuse, Refuse, TWCC_BADVALUE, false) },
    { ICAP_IMAGEFILEFORMAT,
      ONEC(UINT16, TWFF_BMP), ONEC(UINT16, TWFF_BMP), ONEC(UINT16, TWFF_BMP), ANY_DEVICE,
      CapReset::None, SET_NONE },
    { ICAP_XFERMECH,
      ENUM(UINT16, XferMechList), ONE(UINT16, XferMech), ONEC(UINT16, TWSX_MEMORY), ANY_DEVICE,
      CapReset::XferMech,
      SET(XferMech, Low16, Accept, Refuse, TWCC_BADVALUE, true) },
    { ICAP_PLANARCHUNKY,
      ONEC(UINT16, TWPC_CHUNKY), ONEC(UINT16, TWPC_CHUNKY), ONEC(UINT16, TWPC_CHUNKY), ANY_DEVICE,
      CapReset::NoChange,
      SET(Refuse, Low16, Refuse, Refuse, KEEP_CODE, false) },
    { ICAP_PIXELFLAVOR,
      ONEC(UINT16, TWPF_CHOCOLATE), ONEC(UINT16, TWPF_CHOCOLATE), ONEC(UINT16, TWPF_CHOCOLATE),
      ANY_DEVICE, CapReset::NoChange,
      SET(Refuse, Low16, Refuse, Refuse, KEEP_CODE, false) },
    { ICAP_PIXELTYPE,
      ENUM(UINT16, PixelTypeList), ONE(UINT16, PixelType), ONEC(UINT16, TWPT_BW), ANY_DEVICE,
      CapReset::PixelTypeBW,
      SET(PixelType, Low16, PixelTypeFirstItem, Refuse, TWCC_BADVALUE, true) },
    { ICAP_BITDEPTH,
      ONE(UINT16, BitDepth), ONE(UINT16, BitDepth), ONE(UINT16, BitDepth), ANY_DEVICE,
      CapReset::None,
      SET(CheckBitDepth, Low16, Accept, Refuse, TWCC_BADCAP, true) },
    { ICAP_COMPRESSION,
      ONEC(UINT16, TWCP_NONE), ONEC(UINT16, TWCP_NONE), ONEC(UINT16, TWCP_NONE), ANY_DEVICE,
      CapReset::None, SET_NONE },
    { ICAP_UNITS,
      ONEC(UINT16, TWUN_INCHES), ONEC(UINT16, TWUN_INCHES), ONEC(UINT16, TWUN_INCHES), ANY_DEVICE,
      CapReset::NoChange,
      SET(Refuse, Low16, Refuse, Refuse, KEEP_CODE, true) },
    { ICAP_XRESOLUTION,
      RANGE(FIX32, ResolutionRange), ONE(FIX32, Resolution), ONEC(FIX32, 300), ANY_DEVICE,
      CapReset::NoChange,
      SET(Resolution, Whole32, Accept, Accept, TWCC_BADVALUE, true) },
    { ICAP_YRESOLUTION,
      RANGE(FIX32, ResolutionRange), ONE(FIX32, Resolution), ONEC(FIX32, 300), ANY_DEVICE,
      CapReset::NoChange,
      SET(Resolution, Whole32, Accept, Accept, TWCC_BADVALUE, true) },
    { CAP_UICONTROLLABLE,
      ONEC(UINT16, 1), ONEC(UINT16, 1), ONEC(UINT16, 1), ANY_DEVICE,
      CapReset::None, SET_NONE },
    { CAP_INDICATORS,
      ONE(UINT16, ShowIndicators), ONE(UINT16, ShowIndicators), ONEC(UINT16, 1), ANY_DEVICE,
      CapReset::Indicators,
      SET(Indicators, Low16, Refuse, Refuse, KEEP_CODE, true) },
    { ICAP_BITORDER,
      ONEC(UINT16, TWBO_MSBFIRST), ONEC(UINT16, TWBO_MSBFIRST), ONEC(UINT16, TWBO_MSBFIRST),
      ANY_DEVICE, CapReset::None, SET_NONE },
    { ICAP_PHYSICALHEIGHT,
      ONEC(FIX32, 3.6), ONEC(FIX32, 3.6), ONEC(FIX32, 3.6), ANY_DEVICE,
      CapReset::None, SET_NONE },
    { ICAP_PHYSICALWIDTH,
      ONEC(FIX32, 2.2), ONEC(FIX32, 2.2), ONEC(FIX32, 2.2), ANY_DEVICE,
      CapReset::None, SET_NONE },
    { CAP_FEEDERENABLED,
      ONE(BOOL, FeedAnswer), ONE(BOOL, FeedAnswer), ONE(BOOL, FeedAnswer), ANY_DEVICE,
      CapReset::NoChange,
      SET(CheckFeeder, Low16, Refuse, Refuse, TWCC_BADVALUE, true) },
    { CAP_AUTOFEED,
      ONE(BOOL, FeedAnswer), ONE(BOOL, FeedAnswer), ONE(BOOL, FeedAnswer), FEEDER,
      CapReset::None, SET_NONE },
    { CAP_FEEDERLOADED,
      ONEC(BOOL, 0), ONEC(BOOL, 0), ONEC(BOOL, 0), FEEDER,
      CapReset::None, SET_NONE },
    { CAP_DEVICEONLINE,
      ONEC(BOOL, 1), ONEC(BOOL, 1), ONEC(BOOL, 1), ANY_DEVICE,
      CapReset::None, SET_NONE },
    { CAP_SUPPORTEDCAPS,
      ENUM(UINT16, SupportedCapsList), ENUM(UINT16, SupportedCapsList),
      ENUM(UINT16, SupportedCapsList), ANY_DEVICE,
      CapReset::None, SET_NONE },
    // Taken by MSG_SET only; not listed among the supported capabilities.
    { ICAP_BRIGHTNESS,
      NO, NO, NO, ANY_DEVICE,
      CapReset::None,
      SET(Brightness, Whole32, Accept, Refuse, TWCC_BADVALUE, true) },
};
const int kCapabilityCount = sizeof(kCapabilities) / sizeof(kCapabilities[0]);

const TW_UINT16 kSupportedCaps[] = {
    CAP_XFERCOUNT, ICAP_IMAGEFILEFORMAT, ICAP_XFERMECH, ICAP_PLANARCHUNKY, ICAP_PIXELFLAVOR,
    ICAP_PIXELTYPE, ICAP_BITDEPTH, ICAP_COMPRESSION, ICAP_UNITS, ICAP_XRESOLUTION,
    ICAP_YRESOLUTION, CAP_UICONTROLLABLE, CAP_INDICATORS, ICAP_BITORDER, ICAP_PHYSICALHEIGHT,
    ICAP_PHYSICALWIDTH, CAP_FEEDERENABLED, CAP_AUTOFEED, CAP_FEEDERLOADED, CAP_DEVICEONLINE,
};
const int kSupportedCapCount = sizeof(kSupportedCaps) / sizeof(kSupportedCaps[0]);

const CapabilityRow* FindCapability(TW_UINT16 cap)
{
    for (int i = 0; i < kCapabilityCount; ++i) {
        if (kCapabilities[i].cap == cap)
            return &kCapabilities[i];
    }
    return nullptr;
}
