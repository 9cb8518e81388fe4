// A device seam for the benchmark: forwards to the simulated scanner while
// recording the image bytes it delivers, then replays them with no device at all.
#include "replay_device.h"

#include "scansim.h"
#include "usb_device.h"

#include <string.h>

namespace {

bool g_replaying = false;
std::vector<uint8_t> g_recording;
size_t g_replayAt = 0;
bool g_imageRead = false; // the last read header asked for the image data port
const HANDLE kReplayHandle = reinterpret_cast<HANDLE>(intptr_t(0x5EED));

} // namespace

void ReplayStart(size_t at)
{
    g_replaying = true;
    g_replayAt = at;
}

const std::vector<uint8_t>& Recording() { return g_recording; }

HANDLE UsbDevOpen(const char* name)
{
    if (g_replaying)
        return strcmp(name, "\\\\.\\usbscan0") ? INVALID_HANDLE_VALUE : kReplayHandle;
    intptr_t h = scansim_io_open(name);
    return h ? reinterpret_cast<HANDLE>(h) : INVALID_HANDLE_VALUE;
}

BOOL UsbDevControl(HANDLE device, uint32_t code, void* in, uint32_t inSize, void* out,
                   uint32_t outSize, uint32_t* returned)
{
    if (g_replaying) {
        UsbScanDescriptor d = {SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CCD, 0x0100, 0x0409};
        memcpy(out, &d, outSize < sizeof d ? outSize : sizeof d);
        *returned = sizeof d;
        return TRUE;
    }
    return scansim_io_control(reinterpret_cast<intptr_t>(device), code, in, inSize, out, outSize,
                              returned);
}

BOOL UsbDevWrite(HANDLE device, const void* data, uint32_t size, uint32_t* written)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (size == 4 && (bytes[0] == 0x01 || bytes[0] == 0x03))
        g_imageRead = bytes[0] == 0x01 && bytes[1] == 0x00;
    if (g_replaying) {
        *written = size;
        return TRUE;
    }
    return scansim_io_write(reinterpret_cast<intptr_t>(device), data, size, written);
}

BOOL UsbDevRead(HANDLE device, void* buffer, uint32_t size, uint32_t* received)
{
    if (g_replaying) {
        if (g_imageRead && g_replayAt + size <= g_recording.size()) {
            memcpy(buffer, g_recording.data() + g_replayAt, size);
            g_replayAt += size;
        } else {
            memset(buffer, 0, size); // registers read as 0 (paper present at polarity 0)
        }
        *received = size;
        return TRUE;
    }
    BOOL ok = scansim_io_read(reinterpret_cast<intptr_t>(device), buffer, size, received);
    if (ok && g_imageRead) {
        const uint8_t* b = static_cast<const uint8_t*>(buffer);
        g_recording.insert(g_recording.end(), b, b + *received);
    }
    return ok;
}

BOOL UsbDevClose(HANDLE device)
{
    if (g_replaying || device == INVALID_HANDLE_VALUE || !device)
        return TRUE;
    return scansim_io_close(reinterpret_cast<intptr_t>(device));
}
