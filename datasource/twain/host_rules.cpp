#include "twain/host_rules.h"

#include <string.h>

#include "twain/twain.h"

const HostQuirk kHostQuirks[] = {
    { HostSign::ProductName, "PageManager", "MSG_ENABLEDS", HOST_QUIRK_XFERCOUNT_UNKNOWN },
    { HostSign::ProductName, "PageManager", "MSG_ENDXFER, DAT_IMAGEMEMXFER",
      HOST_QUIRK_PAGEMANAGER_XFER },
    { HostSign::WindowClass, "Quillpro", "MSG_ENABLEDS", HOST_QUIRK_FORCE_BW },
    { HostSign::WindowClass, "ServerW32Class", "MSG_ENABLEDS", HOST_QUIRK_FORCE_BW },
    { HostSign::ProductName, "Microsoft Photo Editor", "DAT_IMAGEMEMXFER",
      HOST_QUIRK_PAD_STRIPS },
    { HostSign::ProductName, "TwainTest", "end of a native or memory transfer",
      HOST_QUIRK_NO_NUDGE },
    { HostSign::OemProfileKey, nullptr, "MSG_OPENDS", HOST_QUIRK_OEM_PROFILE },
};
const int kHostQuirkCount = sizeof(kHostQuirks) / sizeof(kHostQuirks[0]);

static uint32_t QuirksMatching(HostSign sign, const char* name)
{
    uint32_t effects = 0;
    for (int i = 0; i < kHostQuirkCount; ++i) {
        if (kHostQuirks[i].sign == sign && _stricmp(kHostQuirks[i].text, name) == 0)
            effects |= kHostQuirks[i].effect;
    }
    return effects;
}

uint32_t HostQuirksOfProduct(const char* productName)
{
    if (!productName)
        return 0;
    char name[sizeof(TW_STR32) + 1] = "";
    memcpy(name, productName, strnlen(productName, sizeof(TW_STR32)));
    return QuirksMatching(HostSign::ProductName, name);
}

uint32_t HostQuirksOfWindow(HWND parent)
{
    char className[256] = "";
    if (!parent || !GetClassNameA(parent, className, sizeof(className)))
        return 0;
    return QuirksMatching(HostSign::WindowClass, className);
}
