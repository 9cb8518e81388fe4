// The seam's USB calls on the usbscan device interface (usb_device.h): the product
// modules link its real implementation, the simulated ones scansim.dll's.
#include "platform_win32.h"
#include "usb_device.h"
#include "usbscan_names.h"

namespace platform {

namespace {

HANDLE ToHandle(UsbHandle h) { return reinterpret_cast<HANDLE>(h); }

int Enumerate(void*, UsbIdFilter, UsbDeviceRef* out, int most) { return UsbScanRefs(out, most); }

UsbHandle Open(void*, const UsbDeviceRef& device)
{
    HANDLE h = UsbDevOpen(device.path);
    return h == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<UsbHandle>(h);
}

bool Descriptor(void*, UsbHandle device, UsbDescriptor* out)
{
    UsbScanDescriptor d = {};
    uint8_t in[sizeof d] = {};
    uint32_t returned = 0;
    const bool ok = UsbDevControl(ToHandle(device), IOCTL_GET_DEVICE_DESCRIPTOR, in, sizeof in, &d, sizeof d,
                                  &returned) != FALSE;
    *out = ok ? UsbDescriptor{d.vendorId, d.productId, d.deviceRelease} : UsbDescriptor{};
    return ok;
}

bool Write(void*, UsbHandle device, const void* data, uint32_t size, uint32_t* written)
{
    return UsbDevWrite(ToHandle(device), data, size, written) != FALSE;
}

bool Read(void*, UsbHandle device, void* buffer, uint32_t size, uint32_t* received)
{
    return UsbDevRead(ToHandle(device), buffer, size, received) != FALSE;
}

void Close(void*, UsbHandle device)
{
    if (device)
        UsbDevClose(ToHandle(device));
}

} // namespace

UsbOps Win32UsbOps() { return UsbOps{nullptr, Enumerate, Open, Descriptor, Write, Read, Close}; }

} // namespace platform
