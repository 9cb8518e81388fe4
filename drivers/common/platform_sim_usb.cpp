#include "platform_sim_usb.h"

#include "scansim.h"
#include "usbscan_names.h"

namespace platform {

namespace {

intptr_t ToSim(UsbHandle h) { return reinterpret_cast<intptr_t>(h); }

int Enumerate(void*, UsbIdFilter, UsbDeviceRef* out, int most) { return UsbScanRefs(out, most); }

UsbHandle Open(void*, const UsbDeviceRef& device)
{
    return reinterpret_cast<UsbHandle>(scansim_io_open(device.path));
}

bool Descriptor(void*, UsbHandle device, UsbDescriptor* out)
{
    // The usbscan descriptor: vendor, product, release, language; little-endian words.
    uint8_t in[8] = {}, answer[8] = {};
    uint32_t returned = 0;
    const bool ok = scansim_io_control(ToSim(device), SCANSIM_IO_GET_DESCRIPTOR, in, sizeof in, answer,
                                       sizeof answer, &returned) &&
                    returned >= 6;
    *out = ok ? UsbDescriptor{uint16_t(answer[0] | answer[1] << 8), uint16_t(answer[2] | answer[3] << 8),
                              uint16_t(answer[4] | answer[5] << 8)}
              : UsbDescriptor{};
    return ok;
}

bool Write(void*, UsbHandle device, const void* data, uint32_t size, uint32_t* written)
{
    return scansim_io_write(ToSim(device), data, size, written) != 0;
}

bool Read(void*, UsbHandle device, void* buffer, uint32_t size, uint32_t* received)
{
    return scansim_io_read(ToSim(device), buffer, size, received) != 0;
}

void Close(void*, UsbHandle device)
{
    if (device)
        scansim_io_close(ToSim(device));
}

} // namespace

UsbOps SimulatedUsbOps() { return UsbOps{nullptr, Enumerate, Open, Descriptor, Write, Read, Close}; }

} // namespace platform
