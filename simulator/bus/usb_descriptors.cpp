#include "usb_descriptors.h"

#include <linux/usb/ch9.h>
#include <stddef.h>

namespace bus {

namespace {

const uint16_t USB_1_1 = 0x0110;
const uint8_t CONTROL_PACKET = 64;

struct Endpoint {
    uint8_t address, attributes;
    uint16_t maxPacket;
    uint8_t interval;
};

struct Layout {
    uint16_t vendorId, productId, release;
    uint8_t deviceClass;
    uint8_t interfaceClass, interfaceSubClass, interfaceProtocol;
    uint8_t configAttributes, maxPower2mA;
    std::vector<Endpoint> endpoints;
};

const Layout kScanner = {0, 0, SCANNER_RELEASE, 0, USB_CLASS_VENDOR_SPEC, 0xFF, 0xFF,
                         USB_CONFIG_ATT_ONE, 250,
                         {{SCANNER_BULK_IN, USB_ENDPOINT_XFER_BULK, 64, 0},
                          {SCANNER_BULK_OUT, USB_ENDPOINT_XFER_BULK, 64, 0}}};

const Layout kRootHub = {ROOT_HUB_VENDOR, ROOT_HUB_PRODUCT, ROOT_HUB_RELEASE, USB_CLASS_HUB, USB_CLASS_HUB, 0, 0,
                         USB_CONFIG_ATT_ONE | USB_CONFIG_ATT_SELFPOWER, 0,
                         {{0x81, USB_ENDPOINT_XFER_INT, 2, 255}}};

void put16(std::vector<uint8_t>& out, uint16_t word)
{
    out.push_back(uint8_t(word & 0xFF));
    out.push_back(uint8_t(word >> 8));
}

std::vector<uint8_t> deviceDescriptor(const Layout& l)
{
    std::vector<uint8_t> d = {DEVICE_DESCRIPTOR_SIZE, USB_DT_DEVICE};
    put16(d, USB_1_1);
    d.insert(d.end(), {l.deviceClass, 0, 0, CONTROL_PACKET});
    put16(d, l.vendorId);
    put16(d, l.productId);
    put16(d, l.release);
    d.insert(d.end(), {0, 0, 0, 1}); // no strings, one configuration
    return d;
}

std::vector<uint8_t> configuration(const Layout& l)
{
    const size_t total = USB_DT_CONFIG_SIZE + USB_DT_INTERFACE_SIZE + USB_DT_ENDPOINT_SIZE * l.endpoints.size();
    std::vector<uint8_t> c = {USB_DT_CONFIG_SIZE, USB_DT_CONFIG};
    put16(c, uint16_t(total));
    c.insert(c.end(), {1, SCANNER_CONFIGURATION, 0, l.configAttributes, l.maxPower2mA});
    c.insert(c.end(), {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, SCANNER_INTERFACE, 0, uint8_t(l.endpoints.size()),
                       l.interfaceClass, l.interfaceSubClass, l.interfaceProtocol, 0});
    for (const Endpoint& e : l.endpoints) {
        c.insert(c.end(), {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, e.address, e.attributes});
        put16(c, e.maxPacket);
        c.push_back(e.interval);
    }
    return c;
}

std::vector<uint8_t> both(const Layout& l)
{
    std::vector<uint8_t> all = deviceDescriptor(l), config = configuration(l);
    all.insert(all.end(), config.begin(), config.end());
    return all;
}

} // namespace

std::vector<uint8_t> ScannerDeviceDescriptor(uint16_t vendorId, uint16_t productId, uint16_t release)
{
    Layout l = kScanner;
    l.vendorId = vendorId;
    l.productId = productId;
    l.release = release;
    return deviceDescriptor(l);
}

std::vector<uint8_t> ScannerConfiguration() { return configuration(kScanner); }

std::vector<uint8_t> ScannerDescriptors(uint16_t vendorId, uint16_t productId)
{
    Layout l = kScanner;
    l.vendorId = vendorId;
    l.productId = productId;
    return both(l);
}

std::vector<uint8_t> RootHubDescriptors() { return both(kRootHub); }

} // namespace bus
