// The seam's USB calls on libusb-1.0: devices named by bus and address, the first
// interface with a bulk-in and a bulk-out endpoint claimed at open.
#include "platform_posix.h"

#include <libusb.h>

#include <stdio.h>
#include <algorithm>
#include <new>

struct platform::UsbDevice {
    libusb_device_handle* handle;
    int interfaceNumber;
    unsigned char endpointIn;
    unsigned char endpointOut;
};

namespace platform {

namespace {

PosixPlatform& Self(void* context) { return *static_cast<PosixPlatform*>(context); }

libusb_context* Session(PosixPlatform& p)
{
    if (!p.usbContext) {
        libusb_context* session = nullptr;
        if (libusb_init(&session) != LIBUSB_SUCCESS)
            return nullptr;
        p.usbContext = session;
    }
    return static_cast<libusb_context*>(p.usbContext);
}

struct Location {
    uint8_t bus, address;
    bool operator<(const Location& o) const { return bus != o.bus ? bus < o.bus : address < o.address; }
};

void FillRef(const Location& at, UsbDeviceRef* ref)
{
    snprintf(ref->path, sizeof ref->path, "usb:%03u:%03u", unsigned(at.bus), unsigned(at.address));
    snprintf(ref->lockKey, sizeof ref->lockKey, "usb-%03u-%03u", unsigned(at.bus), unsigned(at.address));
}

int Enumerate(void* context, UsbIdFilter accept, UsbDeviceRef* out, int most)
{
    libusb_context* session = Session(Self(context));
    libusb_device** list = nullptr;
    if (!session || most <= 0)
        return 0;
    const ssize_t count = libusb_get_device_list(session, &list);
    if (count < 0)
        return 0;
    Location found[USB_MOST_DEVICES];
    int n = 0;
    for (ssize_t i = 0; i < count && n < most && n < int(USB_MOST_DEVICES); ++i) {
        libusb_device_descriptor d;
        if (libusb_get_device_descriptor(list[i], &d) != LIBUSB_SUCCESS) // no I/O: read at enumeration
            continue;
        if (accept && !accept(d.idVendor, d.idProduct))
            continue;
        found[n++] = Location{libusb_get_bus_number(list[i]), libusb_get_device_address(list[i])};
    }
    libusb_free_device_list(list, 1);
    std::sort(found, found + n); // the system's order is not promised to stay
    for (int i = 0; i < n; ++i)
        FillRef(found[i], &out[i]);
    return n;
}

// The first interface (alternate setting 0) with a bulk endpoint each way.
bool FindBulkPair(libusb_device* device, UsbDevice* into)
{
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS)
        return false;
    bool found = false;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        if (config->interface[i].num_altsetting < 1)
            continue;
        const libusb_interface_descriptor& setting = config->interface[i].altsetting[0];
        unsigned char in = 0, out = 0;
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& ep = setting.endpoint[e];
            if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                continue;
            if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
                if (!in)
                    in = ep.bEndpointAddress;
            } else if (!out) {
                out = ep.bEndpointAddress;
            }
        }
        if (in && out) {
            *into = UsbDevice{nullptr, setting.bInterfaceNumber, in, out};
            found = true;
        }
    }
    libusb_free_config_descriptor(config);
    return found;
}

UsbHandle Open(void* context, const UsbDeviceRef& ref)
{
    unsigned bus = 0, address = 0;
    libusb_context* session = Session(Self(context));
    if (!session || sscanf(ref.path, "usb:%u:%u", &bus, &address) != 2)
        return nullptr;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(session, &list);
    if (count < 0)
        return nullptr;
    UsbDevice* opened = nullptr;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(list[i]) != bus || libusb_get_device_address(list[i]) != address)
            continue;
        UsbDevice d;
        libusb_device_handle* h = nullptr;
        if (!FindBulkPair(list[i], &d) || libusb_open(list[i], &h) != LIBUSB_SUCCESS)
            break;
        if (libusb_claim_interface(h, d.interfaceNumber) != LIBUSB_SUCCESS) { // in use elsewhere
            libusb_close(h);
            break;
        }
        d.handle = h;
        opened = new (std::nothrow) UsbDevice(d);
        if (!opened) {
            libusb_release_interface(h, d.interfaceNumber);
            libusb_close(h);
        }
        break;
    }
    libusb_free_device_list(list, 1);
    return opened;
}

bool Descriptor(void*, UsbHandle device, UsbDescriptor* out)
{
    *out = UsbDescriptor{};
    unsigned char bytes[LIBUSB_DT_DEVICE_SIZE] = {};
    // A GET_DESCRIPTOR request on the wire: libusb_get_device_descriptor would answer from its copy.
    const int n = libusb_get_descriptor(device->handle, LIBUSB_DT_DEVICE, 0, bytes, sizeof bytes);
    if (n < 14)
        return false;
    *out = UsbDescriptor{uint16_t(bytes[8] | bytes[9] << 8), uint16_t(bytes[10] | bytes[11] << 8),
                         uint16_t(bytes[12] | bytes[13] << 8)};
    return true;
}

bool Bulk(PosixPlatform& p, UsbHandle device, unsigned char endpoint, void* data, uint32_t size, uint32_t* done)
{
    int transferred = 0;
    const int rc = libusb_bulk_transfer(device->handle, endpoint, static_cast<unsigned char*>(data), int(size),
                                        &transferred, p.options.usbTimeoutMs);
    *done = transferred > 0 ? uint32_t(transferred) : 0;
    return rc == LIBUSB_SUCCESS;
}

bool Write(void* context, UsbHandle device, const void* data, uint32_t size, uint32_t* written)
{
    return Bulk(Self(context), device, device->endpointOut, const_cast<void*>(data), size, written);
}

bool Read(void* context, UsbHandle device, void* buffer, uint32_t size, uint32_t* received)
{
    return Bulk(Self(context), device, device->endpointIn, buffer, size, received);
}

void Close(void*, UsbHandle device)
{
    if (!device)
        return;
    libusb_release_interface(device->handle, device->interfaceNumber);
    libusb_close(device->handle);
    delete device;
}

} // namespace

UsbOps PosixUsbOps(PosixPlatform* p) { return UsbOps{p, Enumerate, Open, Descriptor, Write, Read, Close}; }

void ClosePosixPlatform(PosixPlatform* p)
{
    if (p->usbContext)
        libusb_exit(static_cast<libusb_context*>(p->usbContext));
    p->usbContext = nullptr;
}

} // namespace platform
