#include "twain/dispatch.h"

#include "twain/source_app.h"
#include "twain/trace.h"

#define ROUTE(dg, dat, msg, gate, handler) { dg, dat, msg, false, StateGate::gate, handler }
#define ROUTE_ANY(dg, dat, gate, handler) { dg, dat, 0, true, StateGate::gate, handler }

const Route kRoutes[] = {
    // DG_CONTROL
    ROUTE_ANY(DG_CONTROL, DAT_NULL,                        Any,       OnNull),
    ROUTE(DG_CONTROL, DAT_CAPABILITY,    MSG_GET,          From4,     OnCapability),
    ROUTE(DG_CONTROL, DAT_CAPABILITY,    MSG_GETCURRENT,   From4,     OnCapability),
    ROUTE(DG_CONTROL, DAT_CAPABILITY,    MSG_GETDEFAULT,   From4,     OnCapability),
    ROUTE(DG_CONTROL, DAT_CAPABILITY,    MSG_SET,          Exactly4,  OnCapability),
    ROUTE(DG_CONTROL, DAT_CAPABILITY,    MSG_RESET,        From4,     OnCapability),
    ROUTE(DG_CONTROL, DAT_CAPABILITY,    MSG_QUERYSUPPORT, Any,       OnQuerySupport),
    ROUTE(DG_CONTROL, DAT_EVENT,         MSG_PROCESSEVENT, From5,     OnProcessEvent),
    ROUTE(DG_CONTROL, DAT_IDENTITY,      MSG_GET,          Any,       OnIdentityGet),
    ROUTE(DG_CONTROL, DAT_IDENTITY,      MSG_OPENDS,       Any,       OnOpenDS),
    ROUTE(DG_CONTROL, DAT_IDENTITY,      MSG_CLOSEDS,      Any,       OnCloseDS),
    ROUTE(DG_CONTROL, DAT_PENDINGXFERS,  MSG_GET,          From4,     OnPendingXfers),
    ROUTE(DG_CONTROL, DAT_PENDINGXFERS,  MSG_ENDXFER,      PendingEnd, OnPendingXfers),
    ROUTE(DG_CONTROL, DAT_PENDINGXFERS,  MSG_RESET,        PendingEnd, OnPendingXfers),
    ROUTE(DG_CONTROL, DAT_SETUPMEMXFER,  MSG_GET,          From4,     OnSetupMemXfer),
    ROUTE(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET,          From4,     OnSetupFileXfer),
    ROUTE(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT,   From4,     OnSetupFileXfer),
    ROUTE(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET,          From4,     OnSetupFileXfer),
    ROUTE(DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET,        From4,     OnSetupFileXfer),
    ROUTE(DG_CONTROL, DAT_STATUS,        MSG_GET,          Any,       OnStatus),
    ROUTE(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS,     Exactly4,  OnEnableDS),
    ROUTE(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS,    InHandler, OnDisableDS),
    ROUTE(DG_CONTROL, DAT_XFERGROUP,     MSG_GET,          From4,     OnXferGroup),
    // DG_IMAGE
    ROUTE(DG_IMAGE, DAT_IMAGEINFO,       MSG_GET,          From5,     OnImageInfo),
    ROUTE(DG_IMAGE, DAT_IMAGELAYOUT,     MSG_GET,          From4,     OnImageLayout),
    ROUTE(DG_IMAGE, DAT_IMAGELAYOUT,     MSG_GETDEFAULT,   From4,     OnImageLayout),
    ROUTE(DG_IMAGE, DAT_IMAGELAYOUT,     MSG_SET,          From4,     OnImageLayout),
    ROUTE(DG_IMAGE, DAT_IMAGELAYOUT,     MSG_RESET,        From4,     OnImageLayout),
    ROUTE(DG_IMAGE, DAT_IMAGEMEMXFER,    MSG_GET,          From5,     OnImageMemXfer),
    ROUTE(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET,          Exactly6,  OnImageNativeXfer),
    ROUTE(DG_IMAGE, DAT_IMAGEFILEXFER,   MSG_GET,          Exactly6,  OnImageFileXfer),
    ROUTE(DG_IMAGE, DAT_CIECOLOR,        MSG_GET,          Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_GRAYRESPONSE,    MSG_SET,          Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_GRAYRESPONSE,    MSG_RESET,        Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_RGBRESPONSE,     MSG_SET,          Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_RGBRESPONSE,     MSG_RESET,        Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_GET,          Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_GETDEFAULT,   Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_SET,          Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_RESET,        Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_PALETTE8,        MSG_GET,          Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_PALETTE8,        MSG_GETDEFAULT,   Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_PALETTE8,        MSG_SET,          Any,       OnUnsupported),
    ROUTE(DG_IMAGE, DAT_PALETTE8,        MSG_RESET,        Any,       OnUnsupported),
};
const int kRouteCount = sizeof(kRoutes) / sizeof(kRoutes[0]);

const RouteMiss kRouteMisses[] = {
    { DG_CONTROL, DAT_IDENTITY,        "CONTROL_IDENTITY_xxxx errror" },
    { DG_CONTROL, DAT_CAPABILITY,      "CONTROL_CAPABILITY_xxxx errror" },
    { DG_CONTROL, DAT_EVENT,           "CONTROL_EVENT_xxxx errror" },
    { DG_CONTROL, DAT_PENDINGXFERS,    "CONTROL_PENDINGXFERS_xxxx errror" },
    { DG_CONTROL, DAT_SETUPMEMXFER,    nullptr },
    { DG_CONTROL, DAT_SETUPFILEXFER,   "CONTROL_SETUPFILEXFER_xxxx errror" },
    { DG_CONTROL, DAT_STATUS,          "CONTROL_STATUS_xxxx errror" },
    { DG_CONTROL, DAT_USERINTERFACE,   "CONTROL_USERINTERFACE_xxxx errror" },
    { DG_CONTROL, DAT_XFERGROUP,       "CONTROL_XFERGROUP_xxxx errror" },
    { DG_IMAGE,   DAT_CIECOLOR,        "IMAGE_CIECOLOR_xxx error" },
    { DG_IMAGE,   DAT_GRAYRESPONSE,    "IMAGE_GRAYRESPONSE_xxx error" },
    { DG_IMAGE,   DAT_IMAGEFILEXFER,   "IMAGE_IMAGEFILEXFER_xxx error" },
    { DG_IMAGE,   DAT_IMAGEINFO,       "IMAGE_IMAGEINFO_xxx error" },
    { DG_IMAGE,   DAT_IMAGELAYOUT,     "IMAGE_IMAGELAYOUT_xxx error" },
    { DG_IMAGE,   DAT_IMAGEMEMXFER,    "IMAGE_IMAGEMEMXFER_xxx error" },
    { DG_IMAGE,   DAT_IMAGENATIVEXFER, "IMAGE_IMAGENATIVEXFER_xxx error" },
    { DG_IMAGE,   DAT_JPEGCOMPRESSION, "IMAGE_JPEGCOMPRESSION_xxx error" },
    { DG_IMAGE,   DAT_PALETTE8,        "IMAGE_PALETTE8_xxx error" },
    { DG_IMAGE,   DAT_RGBRESPONSE,     "IMAGE_RGBRESPONSE_xxx error" },
};
const int kRouteMissCount = sizeof(kRouteMisses) / sizeof(kRouteMisses[0]);

bool StateGateAccepts(StateGate gate)
{
    const int state = theApp.twainState;
    switch (gate) {
    case StateGate::Any:
    case StateGate::InHandler:
        return true;
    case StateGate::From4:
        return state >= 4;
    case StateGate::Exactly4:
        return state == 4;
    case StateGate::From5:
        return state >= 5;
    case StateGate::Exactly6:
        return state == 6;
    case StateGate::PendingEnd:
        return theApp.pendingCount != 0 ? state >= 6 : state >= 5;
    }
    return false;
}

const Route* FindRoute(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg)
{
    for (int i = 0; i < kRouteCount; ++i) {
        const Route& route = kRoutes[i];
        if (route.dg == dg && route.dat == dat && (route.anyMessage || route.msg == msg))
            return &route;
    }
    return nullptr;
}

static const char* MissText(TW_UINT32 dg, TW_UINT16 dat)
{
    if (dg != DG_CONTROL && dg != DG_IMAGE)
        return "unknown DG_xxx";
    for (int i = 0; i < kRouteMissCount; ++i) {
        if (kRouteMisses[i].dg == dg && kRouteMisses[i].dat == dat)
            return kRouteMisses[i].text;
    }
    for (int i = 0; i < kRouteCount; ++i) {
        if (kRoutes[i].dg == dg && kRoutes[i].dat == dat)
            return nullptr;  // known type without a text of its own
    }
    return dg == DG_CONTROL ? "control DAT_xxxx error" : "IMAGE DAT_xxxx error";
}

TW_UINT16 DispatchTriplet(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                          TW_MEMREF data)
{
    const Route* route = FindRoute(dg, dat, msg);
    if (!route) {
        if (const char* text = MissText(dg, dat))
            DebugTrace(text);
        return TWRC_FAILURE;
    }
    if (!StateGateAccepts(route->gate)) {
        theApp.SetCondition(TWCC_SEQERROR);
        return TWRC_FAILURE;
    }
    return route->handler(origin, msg, data);
}
