#include "bus_testbed.h"

#include "usb_descriptors.h"

#include <stdio.h>

namespace bus {

namespace {

const int USB_DEVICE_MAJOR = 189;
const char* const FULL_SPEED = "12";

struct SysfsDevice {
    std::string path; // under /devices
    uint8_t address;
    uint16_t vendorId, productId, release;
    std::vector<uint8_t> descriptors;
};

std::string hex(const std::vector<uint8_t>& bytes)
{
    std::string text;
    char two[3];
    for (uint8_t b : bytes) {
        snprintf(two, sizeof two, "%02X", b); // umockdev reads node contents in capitals only
        text += two;
    }
    return text;
}

// An umockdev device description: P path, N node with its contents (what reading a
// usbfs node gives: the descriptors), E udev properties, A attributes, H binary ones.
std::string record(const SysfsDevice& d)
{
    const std::string node = DeviceNode(d.address);
    const int minor = (BUS_NUMBER - 1) * 128 + d.address - 1;
    char text[1024];
    snprintf(text, sizeof text,
             "P: /devices/%s\n"
             "N: %s=%s\n"
             "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: DEVNAME=%s\n"
             "E: BUSNUM=%03d\nE: DEVNUM=%03d\nE: MAJOR=%d\nE: MINOR=%d\nE: PRODUCT=%x/%x/%x\n"
             "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\nA: bcdDevice=%04x\\n\n"
             "A: busnum=%d\\n\nA: devnum=%d\\n\nA: dev=%d:%d\\n\nA: speed=%s\\n\n"
             "A: bConfigurationValue=%d\\n\nA: bNumConfigurations=1\\n\n",
             d.path.c_str(), node.c_str() + 5, hex(d.descriptors).c_str(), node.c_str(), BUS_NUMBER, d.address,
             USB_DEVICE_MAJOR, minor, d.vendorId, d.productId, d.release, d.vendorId, d.productId, d.release,
             BUS_NUMBER, d.address, USB_DEVICE_MAJOR, minor, FULL_SPEED, SCANNER_CONFIGURATION);
    return std::string(text) + "H: descriptors=" + hex(d.descriptors) + "\n";
}

bool add(UMockdevTestbed* testbed, const SysfsDevice& d, std::string& error)
{
    GError* e = nullptr;
    if (umockdev_testbed_add_from_string(testbed, record(d).c_str(), &e))
        return true;
    error = "umockdev refused " + d.path + ": " + (e ? e->message : "no reason given");
    g_clear_error(&e);
    return false;
}

} // namespace

std::string DeviceNode(uint8_t address)
{
    char node[32];
    snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", BUS_NUMBER, address);
    return node;
}

UMockdevTestbed* MakeTestbed(const std::vector<BusDevice>& scanners, std::string& error)
{
    UMockdevTestbed* testbed = umockdev_testbed_new();
    const std::string hub = "usb" + std::to_string(BUS_NUMBER);
    bool ok = add(testbed, {hub, 1, ROOT_HUB_VENDOR, ROOT_HUB_PRODUCT, ROOT_HUB_RELEASE, RootHubDescriptors()}, error);
    for (size_t i = 0; ok && i < scanners.size(); ++i) {
        const BusDevice& s = scanners[i];
        // Port p of the root hub is sysfs device "1-p".
        const std::string path = hub + "/" + std::to_string(BUS_NUMBER) + "-" + std::to_string(s.address - 1);
        ok = add(testbed, {path, s.address, s.vendorId, s.productId, SCANNER_RELEASE,
                           ScannerDescriptors(s.vendorId, s.productId)}, error);
    }
    if (!ok)
        g_object_unref(testbed);
    return ok ? testbed : nullptr;
}

} // namespace bus
