#include "device.h"

#include <stdio.h>

using namespace lm9831;

namespace plover {

namespace {

int64_t FlushAt(uint32_t) { return 191; }

const TransportRules kRules = {FlushAt, 0xF800, ShortRead::FailsRead, false};

bool IsPlover(uint16_t vendorId, uint16_t productId)
{
    return vendorId == PLOVER_VENDOR_ID && productId == PLOVER_PRODUCT_ID;
}

void Trace(const Device& d, const ReadShortfall& shortfall)
{
    char text[96];
    snprintf(text, sizeof text, "         --->Error ,I need %dbytes,but only %dbytes ret", int(shortfall.asked),
             int(shortfall.received));
    const platform::MessageOps& messages = d.link.platform->messages;
    messages.log(messages.context, text);
}

} // namespace

bool OpenDevice(Device& d)
{
    d.link.device = nullptr;
    FoundDevice found;
    d.link.device = DiscoverDevice(*d.link.platform, IsPlover, false, &found);
    if (!d.link.isOpen())
        return false;
    d.vendorId = found.descriptor.vendorId;
    d.productId = found.descriptor.productId;
    return true;
}

void CloseDevice(Device& d)
{
    if (!d.link.isOpen())
        return;
    const platform::UsbOps& usb = d.link.platform->usb;
    usb.close(usb.context, d.link.device);
    d.link.device = nullptr;
}

// The handle kept since load answers nothing once the device has been unplugged,
// even after it is back.
bool EnsureDevice(Device& d)
{
    if (d.link.isOpen()) {
        const platform::UsbOps& usb = d.link.platform->usb;
        platform::UsbDescriptor descriptor;
        if (usb.descriptor(usb.context, d.link.device, &descriptor))
            return true;
        CloseDevice(d);
    }
    d.present = OpenDevice(d);
    if (d.present && d.reinitialise)
        d.reinitialise(d.owner);
    return d.present;
}

bool WriteRegs(Device& d, uint8_t reg, const uint8_t* data, uint32_t count, bool increment)
{
    return WriteRegisters(d.link, kRules, reg, data, count, increment);
}

bool WriteReg(Device& d, uint8_t reg, uint8_t value) { return WriteRegs(d, reg, &value, 1, false); }

bool ReadRegs(Device& d, uint8_t reg, uint8_t* buffer, uint32_t count, bool increment)
{
    ReadShortfall shortfall;
    const uint32_t got = ReadRegisters(d.link, kRules, reg, buffer, count, increment, &shortfall);
    if (got > 0)
        d.readFailures = 0; // whole chunks arrived
    if (got == count)
        return true;
    Trace(d, shortfall);
    if (++d.readFailures > READ_FAILURES_TOLERATED) {
        CloseDevice(d);
        if (OpenDevice(d) && d.reinitialise)
            d.reinitialise(d.owner);
        d.readFailures = 0;
    }
    return false;
}

bool ReadRegChecked(Device& d, uint8_t reg, uint8_t* value)
{
    *value = 0;
    return ReadRegs(d, reg, value, 1, false);
}

uint8_t ReadReg(Device& d, uint8_t reg)
{
    uint8_t value = 0;
    ReadRegChecked(d, reg, &value);
    return value;
}

void WriteMemory(Device& d, uint8_t region, const uint8_t* data, uint32_t count)
{
    lm9831::WriteMemory(d.link, kRules, region, data, count);
}

void WriteRegisterImage(Device& d) { WriteRegs(d, REG_DATA_PORT, d.registers.data(), REGISTER_IMAGE_SIZE, true); }

} // namespace plover
