#include "transport.h"

using namespace lm9831;

namespace wren {

namespace {

// The scanner maker's vendor id, and the chip maker's reference ids.
const uint16_t kMakerVendorId = 0x2B5A;
const uint16_t kMakerFirstProduct = 0x3000, kMakerLastProduct = 0x3030;
const uint16_t kReferenceVendorId = 0x0400;
const uint16_t kReferenceFirstProduct = 0x1000, kReferenceLastProduct = 0x1002;

// No transfer exceeds count + 5 bytes.
int64_t FlushAt(uint32_t count) { return int64_t(count) - (FRAME_MAX_CHUNK - 1); }

const TransportRules kRules = {FlushAt, 65535, ShortRead::Continues, true};

} // namespace

bool IsAcceptedId(uint16_t vendorId, uint16_t productId)
{
    if (vendorId == kMakerVendorId)
        return productId >= kMakerFirstProduct && productId <= kMakerLastProduct;
    if (vendorId == kReferenceVendorId)
        return productId >= kReferenceFirstProduct && productId <= kReferenceLastProduct;
    return false;
}

Link OpenDeviceAt(const platform::Platform& platform, const platform::UsbDeviceRef& device,
                  platform::UsbDescriptor* descriptor)
{
    return Link{&platform, OpenIfAccepted(platform, device, IsAcceptedId, descriptor)};
}

Link DiscoverDevice(const platform::Platform& platform, bool skipHeld, FoundDevice* found, bool* heldSeen)
{
    // Only wren takes a lock named after a device it holds: a held device is ours and
    // busy, and is never opened here.
    return Link{&platform, lm9831::DiscoverDevice(platform, IsAcceptedId, skipHeld, found, heldSeen)};
}

bool WriteRegs(const Link& h, uint8_t reg, const uint8_t* data, uint32_t count, bool increment)
{
    return WriteRegisters(h, kRules, reg, data, count, increment);
}

bool WriteReg(const Link& h, uint8_t reg, uint8_t value) { return WriteRegs(h, reg, &value, 1, false); }

uint32_t ReadRegs(const Link& h, uint8_t reg, uint8_t* buffer, uint32_t count, bool increment)
{
    return ReadRegisters(h, kRules, reg, buffer, count, increment);
}

bool ReadReg(const Link& h, uint8_t reg, uint8_t* value) { return ReadRegs(h, reg, value, 1, false) == 1; }

bool WriteMemory(const Link& h, uint8_t region, const uint8_t* data, uint32_t count)
{
    return lm9831::WriteMemory(h, kRules, region, data, count);
}

void CloseDevice(Link& h)
{
    if (!h.isOpen())
        return;
    WriteReg(h, REG_MISC_IO_5B, 0x10);
    WriteReg(h, REG_COMMAND, CMD_POWER_DOWN);
    h.platform->usb.close(h.platform->usb.context, h.device);
    h.device = nullptr;
}

} // namespace wren
