// Runs under scansim-bus and drives the mocked scanners through the drivers' POSIX
// seam (libusb), as the product does. Exit status 0 when the check holds; what went
// wrong on standard error.
//   drivers       both cores find their scanner; a framed register write reads back
//   pages         plover scans pages until the feeder is empty; prints "pages N"
//   vanish        plover's page read fails when the scanner goes; libusb then gets ENODEV
//   hold FILE     holds the CCD scanner open, makes FILE, waits until FILE is gone
//   busy | free   opening the CCD scanner is refused | works
#include "lm9831_transport.h"
#include "module.h"
#include "module_functions.h"
#include "page_geometry.h"
#include "platform_posix.h"
#include "driver_functions.h"
#include "tables.h"

#include <libusb.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

bool isPlovers(uint16_t vendorId, uint16_t productId) { return vendorId == 0x0400 && productId == 0x1000; }
int64_t oneTransfer(uint32_t count) { return int64_t(count) + 1; }
const lm9831::TransportRules kRules = {oneTransfer, 65535, lm9831::ShortRead::Continues, false};

int fail(const char* what)
{
    fprintf(stderr, "bus_probe: %s\n", what);
    return 1;
}

platform::UsbHandle openCcd(const platform::Platform& os)
{
    lm9831::FoundDevice found;
    return lm9831::DiscoverDevice(os, isPlovers, false, &found);
}

int drivers(const platform::Platform& os)
{
    plover::PloverState p;
    plover::Load(p, &os);
    const bool ploverFound = p.device.present;
    plover::Unload(p);
    std::vector<uint8_t> division(65536);
    wren::FillDivisionTable(division.data());
    wren::ModuleState w;
    wren::Attach(w, &os, "wren", division.data());
    const bool wrenFound = wren::HasScanner(w) != 0;
    wren::Detach(w, false);
    if (!ploverFound || !wrenFound)
        return fail(ploverFound ? "wren found no scanner" : "plover found no scanner");

    lm9831::Link link{&os, openCcd(os)};
    const uint8_t written[4] = {0x05, 0x78, 0x00, 0x18};
    uint8_t back[4] = {};
    const bool same = link.isOpen() && lm9831::WriteRegisters(link, kRules, 0x20, written, 4, true) &&
                      lm9831::ReadRegisters(link, kRules, 0x20, back, 4, true) == 4 && !memcmp(written, back, 4);
    os.usb.close(os.usb.context, link.device);
    if (!same)
        return fail("registers 0x20-0x23 did not read back what was written");
    printf("plover and wren found, registers read back\n");
    return 0;
}

// One gray 100-dpi page of the whole card, fed out and ended as kestrel does: 1 when
// scanned whole, 0 with no paper, -1 when it broke off or jammed.
int scanPage(plover::PloverState& p)
{
    ScanSettings s = {};
    s.mode = MODE_GRAY;
    s.resolution = 100;
    for (ChannelAdjust& a : s.adjust)
        a = ChannelAdjust{0, 0, 10, 255, 0};
    s.right = 220;
    s.bottom = 360;
    int width = 0, height = 0;
    if (plover::StartScanPage(p, &s, &width, &height) != 1)
        return 0;
    std::vector<unsigned char> block(size_t(plover::BytesPerLine(MODE_GRAY, width)) * 64 + 4096);
    int lines = 0;
    for (short got = 1; got > 0 && lines < height; lines += got > 0 ? got : 0)
        got = plover::GetImageBlock(p, block.data(), short(height - lines < 64 ? height - lines : 64), width);
    const bool fedOut = lines >= height && plover::FeedPage(p) == 1;
    plover::EndScanPage(p);
    return fedOut ? 1 : -1;
}

int pages(const platform::Platform& os)
{
    plover::PloverState p;
    plover::Load(p, &os);
    int count = 0, result = 0;
    while ((result = scanPage(p)) == 1)
        ++count;
    plover::Unload(p);
    printf("pages %d\n", count);
    return result < 0 ? fail("a page broke off") : 0;
}

int vanish(const platform::Platform& os)
{
    plover::PloverState p;
    plover::Load(p, &os);
    const int page = scanPage(p);
    plover::Unload(p);
    if (page != -1)
        return fail("the page did not break off");
    libusb_context* usb = nullptr;
    libusb_init(&usb);
    libusb_device_handle* h = libusb_open_device_with_vid_pid(usb, 0x0400, 0x1000);
    const int claimed = h ? libusb_claim_interface(h, 0) : LIBUSB_ERROR_NOT_FOUND;
    if (h)
        libusb_close(h);
    libusb_exit(usb);
    if (claimed != LIBUSB_ERROR_NO_DEVICE)
        return fail(("claiming the vanished scanner gave " + std::string(libusb_error_name(claimed))).c_str());
    printf("the page broke off, then LIBUSB_ERROR_NO_DEVICE\n");
    return 0;
}

int hold(const platform::Platform& os, const char* marker)
{
    platform::UsbHandle h = openCcd(os);
    if (!h)
        return fail("could not open the scanner to hold it");
    fclose(fopen(marker, "w"));
    for (int waited = 0; access(marker, F_OK) == 0 && waited < 20000; waited += 10)
        usleep(10000);
    os.usb.close(os.usb.context, h);
    return 0;
}

int opens(const platform::Platform& os, bool expected)
{
    platform::UsbHandle h = openCcd(os);
    os.usb.close(os.usb.context, h);
    return (h != nullptr) == expected ? 0 : fail(expected ? "the scanner did not open" : "a held scanner opened");
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    char folder[] = "/tmp/bus_probe_XXXXXX";
    if (!mkdtemp(folder))
        return fail("no temporary folder");
    platform::PosixOptions options;
    options.settingsFolder = options.dataFolder = options.lockFolder = folder;
    platform::PosixPlatform os;
    platform::InitPosixPlatform(&os, options);
    int status = mode == "drivers" ? drivers(os.platform)
                 : mode == "pages"  ? pages(os.platform)
                 : mode == "vanish" ? vanish(os.platform)
                 : mode == "hold" && argc > 2 ? hold(os.platform, argv[2])
                 : mode == "busy" || mode == "free" ? opens(os.platform, mode == "free")
                                                    : fail("unknown mode");
    platform::ClosePosixPlatform(&os);
    system((std::string("rm -rf ") + folder).c_str());
    return status;
}
