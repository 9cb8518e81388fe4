#include "control_requests.h"

#include "scansim.h"
#include "usb_descriptors.h"

#include <errno.h>
#include <linux/usb/ch9.h>

namespace bus {

namespace {

const uint16_t LANGUAGE_IDS_INDEX = 0;

// Fills `out` with the data stage; false when the request is not answered (a stall).
typedef bool (*Answer)(const SetupPacket& setup, intptr_t simulator, ControlResult& out);

bool noData(const SetupPacket&, intptr_t, ControlResult&) { return true; }

bool zeroStatus(const SetupPacket&, intptr_t, ControlResult& out)
{
    out.data = {0, 0};
    return true;
}

bool configurationValue(const SetupPacket&, intptr_t, ControlResult& out)
{
    out.data = {SCANNER_CONFIGURATION};
    return true;
}

bool alternateSetting(const SetupPacket&, intptr_t, ControlResult& out)
{
    out.data = {0};
    return true;
}

// The simulator's descriptor words (vendor, product, release, language); 0 or its errno.
int askSimulator(intptr_t simulator, uint16_t words[4])
{
    uint32_t returned = 0;
    if (scansim_io_control(simulator, SCANSIM_IO_GET_DESCRIPTOR, nullptr, 0, words, 8, &returned) && returned == 8)
        return 0;
    return errno ? errno : EPROTO;
}

bool descriptor(const SetupPacket& setup, intptr_t simulator, ControlResult& out)
{
    uint16_t words[4] = {};
    switch (setup.value >> 8) {
    case USB_DT_DEVICE:
        out.error = askSimulator(simulator, words);
        if (!out.error)
            out.data = ScannerDeviceDescriptor(words[0], words[1], words[2]);
        return true;
    case USB_DT_CONFIG:
        out.data = ScannerConfiguration();
        return (setup.value & 0xFF) == 0;
    case USB_DT_STRING: // the languages only: the scanner has no strings
        if ((setup.value & 0xFF) != LANGUAGE_IDS_INDEX)
            return false;
        out.error = askSimulator(simulator, words);
        if (!out.error)
            out.data = {4, USB_DT_STRING, uint8_t(words[3] & 0xFF), uint8_t(words[3] >> 8)};
        return true;
    default:
        return false; // a full-speed device has no qualifier; no other kinds
    }
}

struct Request {
    uint8_t requestType, request;
    Answer answer;
};

const uint8_t IN_DEVICE = USB_DIR_IN | USB_RECIP_DEVICE, IN_INTERFACE = USB_DIR_IN | USB_RECIP_INTERFACE,
              IN_ENDPOINT = USB_DIR_IN | USB_RECIP_ENDPOINT;

const Request kRequests[] = {
    {IN_DEVICE, USB_REQ_GET_DESCRIPTOR, descriptor},
    {IN_DEVICE, USB_REQ_GET_STATUS, zeroStatus},
    {IN_INTERFACE, USB_REQ_GET_STATUS, zeroStatus},
    {IN_ENDPOINT, USB_REQ_GET_STATUS, zeroStatus},
    {IN_DEVICE, USB_REQ_GET_CONFIGURATION, configurationValue},
    {IN_INTERFACE, USB_REQ_GET_INTERFACE, alternateSetting},
    {USB_RECIP_DEVICE, USB_REQ_SET_CONFIGURATION, noData},
    {USB_RECIP_INTERFACE, USB_REQ_SET_INTERFACE, noData},
    {USB_RECIP_DEVICE, USB_REQ_CLEAR_FEATURE, noData},
    {USB_RECIP_ENDPOINT, USB_REQ_CLEAR_FEATURE, noData},
    {USB_RECIP_DEVICE, USB_REQ_SET_FEATURE, noData},
};

} // namespace

SetupPacket ParseSetup(const uint8_t b[8])
{
    return SetupPacket{b[0], b[1], uint16_t(b[2] | b[3] << 8), uint16_t(b[4] | b[5] << 8),
                       uint16_t(b[6] | b[7] << 8)};
}

ControlResult AnswerControl(const SetupPacket& setup, intptr_t simulator)
{
    ControlResult out;
    for (const Request& r : kRequests) {
        if (r.requestType != setup.requestType || r.request != setup.request)
            continue;
        if (!r.answer(setup, simulator, out))
            break;
        if (out.data.size() > setup.length)
            out.data.resize(setup.length);
        return out;
    }
    out.data.clear();
    out.error = EPIPE;
    return out;
}

} // namespace bus
