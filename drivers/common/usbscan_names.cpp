#include "usbscan_names.h"

#include <stdio.h>

namespace platform {

int UsbScanRefs(UsbDeviceRef* out, int most)
{
    const int n = most < USB_MOST_DEVICES ? most : int(USB_MOST_DEVICES);
    for (int i = 0; i < n; ++i) {
        snprintf(out[i].path, sizeof out[i].path, "\\\\.\\usbscan%d", i);
        snprintf(out[i].lockKey, sizeof out[i].lockKey, "usbscan%d", i);
    }
    return n < 0 ? 0 : n;
}

} // namespace platform
