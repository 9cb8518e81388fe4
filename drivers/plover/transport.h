// The USB register transport: discovery of the scanner among the usbscan devices,
// the one open device handle of the process, register and memory framing, image
// reads with the read-failure counter and reconnection.
#pragma once

#include "lm9831_register_image.h"

#include <windows.h>
#include <stdint.h>

// The scanner's USB ids, matched during discovery.
enum : uint16_t { PLOVER_VENDOR_ID = 0x0400, PLOVER_PRODUCT_ID = 0x1000 };

enum : uint32_t {
    WRITE_FLUSH_AT = 191,       // a write transfer goes out once it holds this many bytes
    READ_CHUNK_MAX = 0xF800,    // bytes per bulk read
    READ_FAILURES_TOLERATED = 10, // the next consecutive short read reconnects
    DEVICE_NAME_COUNT = 127
};

// Transport state of the module.
extern HANDLE g_hUsb;
extern uint32_t g_VendorId, g_ProductId;
extern int g_DevicePresent;
extern uint32_t g_ReadFailures;
extern lm9831::RegisterImage Reg9831;

HANDLE UsbOpenDriver();
void UsbCloseDriver();
// Reopens the device when the handle kept since load no longer reaches it.
bool UsbEnsureDevice();
BOOL UsbWriteRegs(uint8_t reg, const uint8_t* data, uint32_t count, bool increment);
BOOL UsbWriteReg(uint8_t reg, uint8_t value);
int UsbReadRegs(uint8_t reg, uint8_t* buffer, uint32_t count, bool increment);
uint8_t UsbReadReg(uint8_t reg);
// Like UsbReadReg, reporting whether the byte arrived.
bool UsbReadRegChecked(uint8_t reg, uint8_t* value);
void WriteMemory(uint8_t region, const uint8_t* data, uint32_t count);
void ResetChip();
void WriteRegisterImage();
void WriteResetPair();
void Hypnotize(bool powerDown);

// Called on the reconnection path: rebuilds and rewrites the register image.
void ReinitialiseAfterReconnect();
