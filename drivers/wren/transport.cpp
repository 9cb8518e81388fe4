#include "transport.h"

#include "lm9831_registers.h"
#include "usb_device.h"

#include <stdio.h>
#include <vector>

using namespace lm9831;

namespace wren {

namespace {

// The scanner maker's vendor id, and the chip maker's reference ids.
const uint16_t kMakerVendorId = 0x2B5A;
const uint16_t kMakerFirstProduct = 0x3000, kMakerLastProduct = 0x3030;
const uint16_t kReferenceVendorId = 0x0400;
const uint16_t kReferenceFirstProduct = 0x1000, kReferenceLastProduct = 0x1002;
const uint32_t kMaxReadChunk = 65535;

} // namespace

void DeviceName(int index, char* out, size_t size) { snprintf(out, size, "\\\\.\\usbscan%d", index); }
void EventName(int index, char* out, size_t size) { snprintf(out, size, "usbscan%d", index); }

bool IsAcceptedId(uint16_t vendorId, uint16_t productId)
{
    if (vendorId == kMakerVendorId)
        return productId >= kMakerFirstProduct && productId <= kMakerLastProduct;
    if (vendorId == kReferenceVendorId)
        return productId >= kReferenceFirstProduct && productId <= kReferenceLastProduct;
    return false;
}

bool IsHeldElsewhere(int index)
{
    char name[32];
    EventName(index, name, sizeof name);
    HANDLE e = OpenEventA(SYNCHRONIZE, FALSE, name);
    if (!e)
        return false;
    CloseHandle(e);
    return true;
}

HANDLE OpenDeviceAt(int index, DeviceInfo* info)
{
    char name[32];
    DeviceName(index, name, sizeof name);
    HANDLE h = UsbDevOpen(name);
    if (h == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    UsbScanDescriptor d = {};
    uint32_t returned = 0;
    if (UsbDevControl(h, IOCTL_GET_DEVICE_DESCRIPTOR, &d, sizeof d, &d, sizeof d, &returned) &&
        IsAcceptedId(d.vendorId, d.productId)) {
        if (info) {
            info->index = index;
            info->vendorId = d.vendorId;
            info->productId = d.productId;
        }
        return h;
    }
    UsbDevClose(h);
    return INVALID_HANDLE_VALUE;
}

HANDLE DiscoverDevice(bool skipHeld, DeviceInfo* info, bool* heldSeen)
{
    if (heldSeen)
        *heldSeen = false;
    for (int n = 0; n < DEVICE_NAME_COUNT; ++n) {
        // Only wren names an event after a device it holds: a held device is ours
        // and busy, and is never opened here.
        if (skipHeld && IsHeldElsewhere(n)) {
            if (heldSeen)
                *heldSeen = true;
            continue;
        }
        HANDLE h = OpenDeviceAt(n, info);
        if (h != INVALID_HANDLE_VALUE)
            return h;
    }
    return INVALID_HANDLE_VALUE;
}

// Chunks of up to 60 data bytes, each with its header, collected into one transfer
// until it holds at least (count - 59) bytes, so no transfer exceeds count + 5 bytes.
bool WriteRegs(HANDLE h, uint8_t reg, const uint8_t* data, uint32_t count, bool increment)
{
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::vector<uint8_t> transfer;
    transfer.reserve(count + 4 * (count / FRAME_MAX_CHUNK + 1));
    const int64_t flushAt = int64_t(count) - (FRAME_MAX_CHUNK - 1);
    bool ok = true;
    uint32_t done = 0;
    while (done < count) {
        uint32_t n = count - done < FRAME_MAX_CHUNK ? count - done : uint32_t(FRAME_MAX_CHUNK);
        uint8_t header[FRAME_HEADER_SIZE];
        frameHeader(header, increment ? FRAME_WRITE_INC : FRAME_WRITE,
                    uint8_t(increment ? reg + done : reg), n);
        transfer.insert(transfer.end(), header, header + FRAME_HEADER_SIZE);
        transfer.insert(transfer.end(), data + done, data + done + n);
        done += n;
        if (int64_t(transfer.size()) >= flushAt || done == count) {
            uint32_t written = 0;
            if (!UsbDevWrite(h, transfer.data(), uint32_t(transfer.size()), &written) ||
                written != transfer.size())
                ok = false;
            transfer.clear();
        }
    }
    // Writing the GPIO register 0x58 is always followed by two reads of the sensors.
    uint32_t last = increment ? reg + count : reg + 1u;
    if (reg <= REG_MISC_IO_58 && last > REG_MISC_IO_58) {
        uint8_t v;
        ReadReg(h, REG_SENSORS, &v);
        ReadReg(h, REG_SENSORS, &v);
    }
    return ok;
}

bool WriteReg(HANDLE h, uint8_t reg, uint8_t value) { return WriteRegs(h, reg, &value, 1, false); }

uint32_t ReadRegs(HANDLE h, uint8_t reg, uint8_t* buffer, uint32_t count, bool increment)
{
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    uint32_t got = 0;
    while (got < count) {
        uint32_t n = count - got < kMaxReadChunk ? count - got : kMaxReadChunk;
        uint8_t header[FRAME_HEADER_SIZE];
        frameHeader(header, increment ? FRAME_READ_INC : FRAME_READ,
                    uint8_t(increment ? reg + got : reg), n);
        uint32_t written = 0;
        if (!UsbDevWrite(h, header, FRAME_HEADER_SIZE, &written))
            return got;
        uint32_t received = 0;
        if (!UsbDevRead(h, buffer + got, n, &received) || received == 0)
            return got + received;
        got += received; // a partial chunk continues with the rest
    }
    return got;
}

bool ReadReg(HANDLE h, uint8_t reg, uint8_t* value)
{
    return ReadRegs(h, reg, value, 1, false) == 1;
}

void CloseDevice(HANDLE& h)
{
    if (h == INVALID_HANDLE_VALUE || h == nullptr)
        return;
    WriteReg(h, REG_MISC_IO_5B, 0x10);
    WriteReg(h, REG_COMMAND, CMD_POWER_DOWN);
    UsbDevClose(h);
    h = INVALID_HANDLE_VALUE;
}

} // namespace wren
