// Answers the usbfs requests a client (libusb, or anything speaking usbfs) makes on a
// scanner's device node, from the simulator. Every open of a node is a client with
// its own simulator handle; interface 0 has one holder at a time across clients, as
// usbfs enforces; URBs are carried out when submitted and wait to be reaped.
// umockdev calls it on the testbed's one worker thread, so the state needs no lock.
#pragma once

#include <umockdev.h>

#include <memory>
#include <stdint.h>
#include <string>
#include <vector>

namespace bus {

// A scanner on the bus.
struct BusDevice {
    int index;        // the simulator's device, "\\.\usbscanN"
    uint8_t address;  // on bus 001
    std::string node; // "/dev/bus/usb/001/00M"
    uint16_t vendorId, productId;
};

class UsbfsHandler {
public:
    // Requests are printed to standard error when `trace` is set.
    UsbfsHandler(const std::vector<BusDevice>& devices, bool trace);
    // Stops answering and lets go of every client.
    ~UsbfsHandler();
    UsbfsHandler(const UsbfsHandler&) = delete;
    UsbfsHandler& operator=(const UsbfsHandler&) = delete;

    // Answers the nodes of every device in the testbed from now on.
    bool attach(UMockdevTestbed* testbed, std::string& error);

    struct State;

private:
    UMockdevIoctlBase* handler_;
    std::unique_ptr<State> state_;
};

} // namespace bus
