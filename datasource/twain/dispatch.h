// Routing of a triplet to its handler, with the state each handler accepts.
#pragma once

#include "twain/handlers.h"

// States a handler accepts; checked before the handler runs.
enum class StateGate {
    Any,          // every state
    From4,        // 4 or more
    Exactly4,
    From5,        // 5 or more
    Exactly6,
    PendingEnd,   // 6 or more while transfers are pending, 5 or more when none are
    InHandler,    // the handler checks the state itself (it acts before the check)
};

struct Route {
    TW_UINT32 dg;
    TW_UINT16 dat;
    TW_UINT16 msg;       // ignored when anyMessage is set
    bool anyMessage;
    StateGate gate;
    TripletHandler handler;
};

// Text traced when a DAT of a group is known but the MSG is not (nullptr: no text).
struct RouteMiss {
    TW_UINT32 dg;
    TW_UINT16 dat;
    const char* text;
};

extern const Route kRoutes[];
extern const int kRouteCount;
extern const RouteMiss kRouteMisses[];
extern const int kRouteMissCount;

// Finds the handler of a triplet, applies the state gate and runs it. A routing
// miss traces its text and fails without touching the condition code.
TW_UINT16 DispatchTriplet(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                          TW_MEMREF data);

// The route of a triplet, or nullptr for a routing miss.
const Route* FindRoute(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);

bool StateGateAccepts(StateGate gate);
