#include "transport.h"

#include "usb_device.h"

#include <stdio.h>
#include <string.h>
#include <vector>

using namespace lm9831;

HANDLE g_hUsb = INVALID_HANDLE_VALUE;
uint32_t g_VendorId = 0, g_ProductId = 0;
int g_DevicePresent = 0;
uint32_t g_ReadFailures = 0;
RegisterImage Reg9831;

namespace {

// Traces are formatted and discarded: the sink is silent.
char g_trace[256];
void TraceSink(const char*) {}

bool IsOpen() { return g_hUsb != INVALID_HANDLE_VALUE && g_hUsb != nullptr; }

} // namespace

HANDLE UsbOpenDriver()
{
    g_hUsb = INVALID_HANDLE_VALUE;
    for (int n = 0; n < int(DEVICE_NAME_COUNT); ++n) {
        char name[32];
        snprintf(name, sizeof name, "\\\\.\\usbscan%d", n);
        HANDLE h = UsbDevOpen(name);
        if (h == INVALID_HANDLE_VALUE || h == nullptr)
            continue;
        UsbScanDescriptor descriptor = {};
        uint8_t in[8] = {};
        uint32_t returned = 0;
        descriptor.vendorId = 0;
        descriptor.productId = 0;
        UsbDevControl(h, IOCTL_GET_DEVICE_DESCRIPTOR, in, sizeof in, &descriptor,
                      sizeof descriptor, &returned);
        if (descriptor.vendorId == PLOVER_VENDOR_ID && descriptor.productId == PLOVER_PRODUCT_ID) {
            g_VendorId = descriptor.vendorId;
            g_ProductId = descriptor.productId;
            g_hUsb = h;
            return h;
        }
        UsbDevClose(h); // another device: leave it to its own driver
    }
    return nullptr;
}

// The handle kept since load answers nothing once the device has been unplugged,
// even after it is back: asks for the descriptor and, when that fails, opens the
// device afresh. False when no scanner is there.
bool UsbEnsureDevice()
{
    if (IsOpen()) {
        UsbScanDescriptor descriptor = {};
        uint8_t in[8] = {};
        uint32_t returned = 0;
        if (UsbDevControl(g_hUsb, IOCTL_GET_DEVICE_DESCRIPTOR, in, sizeof in, &descriptor,
                          sizeof descriptor, &returned))
            return true;
        UsbCloseDriver();
    }
    g_DevicePresent = UsbOpenDriver() ? 1 : 0;
    if (g_DevicePresent)
        ReinitialiseAfterReconnect();
    return g_DevicePresent != 0;
}

void UsbCloseDriver()
{
    if (g_hUsb != INVALID_HANDLE_VALUE)
        UsbDevClose(g_hUsb);
}

// Chunks of at most 60 data bytes, each with its header, collected into one bulk
// transfer until it holds 191 bytes or more.
BOOL UsbWriteRegs(uint8_t reg, const uint8_t* data, uint32_t count, bool increment)
{
    uint8_t transfer[WRITE_FLUSH_AT + FRAME_HEADER_SIZE + FRAME_MAX_CHUNK];
    uint32_t used = 0, done = 0;
    BOOL result = TRUE;
    while (done < count) {
        uint32_t n = count - done < uint32_t(FRAME_MAX_CHUNK) ? count - done : uint32_t(FRAME_MAX_CHUNK);
        frameHeader(transfer + used, increment ? FRAME_WRITE_INC : FRAME_WRITE,
                    uint8_t(increment ? reg + done : reg), n);
        memcpy(transfer + used + FRAME_HEADER_SIZE, data + done, n);
        used += FRAME_HEADER_SIZE + n;
        done += n;
        if (used >= WRITE_FLUSH_AT || done == count) {
            uint32_t written = 0;
            result = IsOpen() ? UsbDevWrite(g_hUsb, transfer, used, &written) : FALSE;
            used = 0;
        }
    }
    return result;
}

BOOL UsbWriteReg(uint8_t reg, uint8_t value) { return UsbWriteRegs(reg, &value, 1, false); }

int UsbReadRegs(uint8_t reg, uint8_t* buffer, uint32_t count, bool increment)
{
    uint32_t got = 0;
    while (got < count) {
        uint32_t chunk = count - got < READ_CHUNK_MAX ? count - got : READ_CHUNK_MAX;
        uint8_t header[FRAME_HEADER_SIZE];
        frameHeader(header, increment ? FRAME_READ_INC : FRAME_READ,
                    uint8_t(increment ? reg + got : reg), chunk);
        uint32_t written = 0, received = 0;
        BOOL ok = FALSE;
        if (IsOpen()) {
            UsbDevWrite(g_hUsb, header, sizeof header, &written);
            ok = UsbDevRead(g_hUsb, buffer + got, chunk, &received);
        }
        if (!ok || received < chunk) {
            snprintf(g_trace, sizeof g_trace,
                     "         --->Error(%lu) ,I need %dbytes,but only %dbytes ret",
                     GetLastError(), int(chunk), int(received));
            TraceSink(g_trace);
            if (++g_ReadFailures > READ_FAILURES_TOLERATED) {
                UsbCloseDriver();
                if (UsbOpenDriver())
                    ReinitialiseAfterReconnect();
                g_ReadFailures = 0;
            }
            return 0;
        }
        g_ReadFailures = 0;
        got += chunk;
    }
    return 1;
}

bool UsbReadRegChecked(uint8_t reg, uint8_t* value)
{
    *value = 0;
    return UsbReadRegs(reg, value, 1, false) != 0;
}

uint8_t UsbReadReg(uint8_t reg)
{
    uint8_t value = 0;
    UsbReadRegChecked(reg, &value);
    return value;
}

void WriteMemory(uint8_t region, const uint8_t* data, uint32_t count)
{
    UsbWriteReg(REG_MEM_REGION, region);
    UsbWriteReg(REG_MEM_ADDR_HI, 0);
    UsbWriteReg(REG_MEM_ADDR_LO, 0);
    UsbWriteRegs(REG_MEM_DATA, data, count, false);
}

void ResetChip()
{
    UsbWriteReg(REG_COMMAND, CMD_RESET);
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    Sleep(50);
}

void WriteRegisterImage() { UsbWriteRegs(REG_DATA_PORT, Reg9831.data(), REGISTER_IMAGE_SIZE, true); }

void WriteResetPair()
{
    const uint8_t pair[2] = {CMD_RESET, CMD_STOP};
    UsbWriteRegs(REG_COMMAND, pair, sizeof pair, false);
}

void Hypnotize(bool powerDown)
{
    UsbWriteReg(REG_COMMAND, CMD_RESET);
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    if (powerDown)
        UsbWriteReg(REG_COMMAND, CMD_POWER_DOWN);
}
