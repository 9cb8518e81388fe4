#include "lm9831_transport.h"

#include <string.h>

namespace lm9831 {

namespace {

// Room for the longest transfer either driver builds (a 4096-byte burst under a
// flush threshold of count - 59); a longer one goes out in parts.
enum : uint32_t { TRANSFER_ROOM = 8192 };

bool Send(const Link& link, const uint8_t* data, uint32_t size)
{
    const platform::UsbOps& usb = link.platform->usb;
    uint32_t written = 0;
    return usb.write(usb.context, link.device, data, size, &written) && written == size;
}

} // namespace

bool WriteRegisters(const Link& link, const TransportRules& rules, uint8_t reg, const uint8_t* data,
                    uint32_t count, bool increment)
{
    if (!link.isOpen())
        return false;
    uint8_t transfer[TRANSFER_ROOM];
    const int64_t flushAt = rules.flushAt(count);
    uint32_t used = 0, done = 0;
    bool ok = true;
    while (done < count) {
        const uint32_t n = count - done < uint32_t(FRAME_MAX_CHUNK) ? count - done : uint32_t(FRAME_MAX_CHUNK);
        if (used + FRAME_HEADER_SIZE + n > TRANSFER_ROOM) {
            ok = Send(link, transfer, used) && ok;
            used = 0;
        }
        frameHeader(transfer + used, increment ? FRAME_WRITE_INC : FRAME_WRITE,
                    uint8_t(increment ? reg + done : reg), n);
        memcpy(transfer + used + FRAME_HEADER_SIZE, data + done, n);
        used += FRAME_HEADER_SIZE + n;
        done += n;
        if (int64_t(used) >= flushAt || done == count) {
            ok = Send(link, transfer, used) && ok;
            used = 0;
        }
    }
    if (rules.sensorReadsAfterGpio) {
        const uint32_t last = increment ? reg + count : reg + 1u;
        if (reg <= REG_MISC_IO_58 && last > REG_MISC_IO_58) {
            uint8_t sensors;
            ReadRegisters(link, rules, REG_SENSORS, &sensors, 1, false);
            ReadRegisters(link, rules, REG_SENSORS, &sensors, 1, false);
        }
    }
    return ok;
}

uint32_t ReadRegisters(const Link& link, const TransportRules& rules, uint8_t reg, uint8_t* buffer,
                       uint32_t count, bool increment, ReadShortfall* shortfall)
{
    if (!link.isOpen()) {
        if (count > 0 && shortfall)
            *shortfall = ReadShortfall{count < rules.readChunk ? count : rules.readChunk, 0};
        return 0;
    }
    const platform::UsbOps& usb = link.platform->usb;
    uint32_t got = 0;
    while (got < count) {
        const uint32_t n = count - got < rules.readChunk ? count - got : rules.readChunk;
        uint8_t header[FRAME_HEADER_SIZE];
        frameHeader(header, increment ? FRAME_READ_INC : FRAME_READ, uint8_t(increment ? reg + got : reg), n);
        uint32_t written = 0, received = 0;
        bool ok = false;
        if (rules.shortRead == ShortRead::FailsRead) {
            // The chunk is judged by its answer alone.
            usb.write(usb.context, link.device, header, FRAME_HEADER_SIZE, &written);
            ok = usb.read(usb.context, link.device, buffer + got, n, &received);
            if (!ok || received < n) {
                if (shortfall)
                    *shortfall = ReadShortfall{n, received};
                return got;
            }
            got += n;
            continue;
        }
        if (!usb.write(usb.context, link.device, header, FRAME_HEADER_SIZE, &written))
            return got;
        ok = usb.read(usb.context, link.device, buffer + got, n, &received);
        if (!ok || received == 0) {
            if (shortfall)
                *shortfall = ReadShortfall{n, received};
            return got + received;
        }
        got += received; // a partial chunk continues with the rest
    }
    return got;
}

bool WriteMemory(const Link& link, const TransportRules& rules, uint8_t region, const uint8_t* data,
                 uint32_t count)
{
    const uint8_t zero = 0;
    bool ok = WriteRegisters(link, rules, REG_MEM_REGION, &region, 1, false);
    ok = WriteRegisters(link, rules, REG_MEM_ADDR_HI, &zero, 1, false) && ok;
    ok = WriteRegisters(link, rules, REG_MEM_ADDR_LO, &zero, 1, false) && ok;
    return WriteRegisters(link, rules, REG_MEM_DATA, data, count, false) && ok;
}

platform::UsbHandle OpenIfAccepted(const platform::Platform& platform, const platform::UsbDeviceRef& device,
                                   platform::UsbIdFilter accept, platform::UsbDescriptor* descriptor)
{
    const platform::UsbOps& usb = platform.usb;
    platform::UsbHandle h = usb.open(usb.context, device);
    if (!h)
        return nullptr;
    platform::UsbDescriptor d = {};
    if (usb.descriptor(usb.context, h, &d) && accept(d.vendorId, d.productId)) {
        if (descriptor)
            *descriptor = d;
        return h;
    }
    usb.close(usb.context, h); // another device: left to its own driver
    return nullptr;
}

platform::UsbHandle DiscoverDevice(const platform::Platform& platform, platform::UsbIdFilter accept,
                                   bool skipHeld, FoundDevice* found, bool* heldSeen)
{
    if (heldSeen)
        *heldSeen = false;
    platform::UsbDeviceRef refs[platform::USB_MOST_DEVICES];
    const int n = platform.usb.enumerate(platform.usb.context, accept, refs, platform::USB_MOST_DEVICES);
    for (int i = 0; i < n; ++i) {
        if (skipHeld && platform.lock.isHeld(platform.lock.context, refs[i].lockKey)) {
            if (heldSeen)
                *heldSeen = true;
            continue;
        }
        platform::UsbDescriptor d = {};
        platform::UsbHandle h = OpenIfAccepted(platform, refs[i], accept, &d);
        if (h) {
            if (found) {
                found->ref = refs[i];
                found->descriptor = d;
            }
            return h;
        }
    }
    return nullptr;
}

} // namespace lm9831
