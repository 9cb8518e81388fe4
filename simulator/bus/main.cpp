// scansim-bus: the simulated scanners on a mocked USB bus, for a command that talks to
// them through usbfs (libusb) as it would to real ones. The simulator's Linux front,
// as scansim.dll is its Windows front.
#include "bus_testbed.h"
#include "command_runner.h"
#include "usbfs_handler.h"

#include "environment.h"
#include "scansim.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char* const USAGE =
    "usage: scansim-bus [--device N=KIND[:VVVV:PPPP]]... [--sheet N=CARD[+CARD...]]...\n"
    "                   [--fault N=NAME:PARAM]... [--report FILE] -- COMMAND [ARGS...]\n"
    "Runs COMMAND with the simulated scanners on a mocked USB bus: device N at\n"
    "/dev/bus/usb/001/<N+2>, answered through usbfs (libusb) from the simulator.\n"
    "  KIND   ccd, cis0 or cis1; ids in hexadecimal (defaults 0400:1000, 0400:1002)\n"
    "  CARD   fiducial, white, gray or file:PATH.bmp; a+b+c is a feeder stack\n"
    "  NAME   short_every, short_from, disconnect_at, reconnect_after, jam,\n"
    "         sensor_stuck, sensor_flap\n"
    "  --report FILE  the simulator's state of every device when COMMAND has ended\n"
    "Without options SCANSIM_DEVICES, SCANSIM_SHEET and SCANSIM_FAULTS apply.\n"
    "SCANSIM_BUS_TRACE=1 prints every usbfs request to standard error.\n"
    "Exit status: COMMAND's (128 + signal when a signal ended it); 2 for a bad\n"
    "command line, 1 when the bus cannot be made, 127 when COMMAND cannot run.\n";

const int EXIT_USAGE = 2, EXIT_NO_BUS = 1;

struct Options {
    std::string devices, sheets, faults; // items joined by ',' as in SCANSIM_*
    const char* report = nullptr;
    char** command = nullptr;
};

bool usageError(const std::string& why)
{
    fprintf(stderr, "scansim-bus: %s\n%s", why.c_str(), USAGE);
    return false;
}

void addItem(std::string& list, const char* item)
{
    list += (list.empty() ? "" : ",");
    list += item;
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            if (i + 1 == argc)
                return usageError("no command after --");
            o.command = argv + i + 1;
            return true;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const char* value = eq != std::string::npos ? argv[i] + eq + 1 : i + 1 < argc ? argv[++i] : nullptr;
        if (!value || !*value)
            return usageError(name + " needs a value");
        if (name == "--device")
            addItem(o.devices, value);
        else if (name == "--sheet")
            addItem(o.sheets, value);
        else if (name == "--fault")
            addItem(o.faults, value);
        else if (name == "--report")
            o.report = value;
        else
            return usageError("unknown option " + arg);
    }
    return usageError("no command: give it after --");
}

const char* kindName(int kind)
{
    switch (kind) {
    case SCANSIM_KIND_CCD: return "ccd";
    case SCANSIM_KIND_CIS0: return "cis0";
    case SCANSIM_KIND_CIS1: return "cis1";
    default: return "none";
    }
}

// Every attached device, at its address; false when one has no address to take.
bool scannersOnBus(std::vector<bus::BusDevice>& out, std::string& error)
{
    for (int index = 0; index < SCANSIM_MAX_DEVICES; ++index) {
        ScanSimStatus st;
        if (!scansim_get_status(index, &st) || !st.attached)
            continue;
        const int address = bus::FIRST_SCANNER_ADDRESS + index;
        if (address > bus::LAST_ADDRESS) {
            error = "device " + std::to_string(index) + " has no bus address: devices are 0 to " +
                    std::to_string(bus::LAST_ADDRESS - bus::FIRST_SCANNER_ADDRESS);
            return false;
        }
        out.push_back({index, uint8_t(address), bus::DeviceNode(uint8_t(address)), st.vendorId, st.productId});
    }
    return true;
}

// One line per device; written aside and renamed, so a reader never sees half of it.
bool writeReport(const char* path, const std::vector<bus::BusDevice>& scanners)
{
    const std::string partial = std::string(path) + ".partial";
    FILE* f = fopen(partial.c_str(), "w");
    if (!f)
        return false;
    for (const bus::BusDevice& d : scanners) {
        ScanSimStatus st;
        scansim_get_status(d.index, &st);
        fprintf(f, "device %d kind=%s sheets_ejected=%u sheet_present=%d scanning=%d motor=%d protocol_errors=%u "
                   "connected=%d\n",
                d.index, kindName(st.kind), st.sheetsEjected, st.sheetPresent, st.scanning, st.motorRun,
                st.protocolErrors, st.connected);
    }
    const bool written = fclose(f) == 0;
    if (written && rename(partial.c_str(), path) == 0)
        return true;
    remove(partial.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
        fputs(USAGE, stdout);
        return 0;
    }
    Options o;
    if (!parse(argc, argv, o))
        return EXIT_USAGE;

    // Set up before any other thread exists; options replace the environment's settings.
    std::string error;
    if (!o.devices.empty() || !o.sheets.empty() || !o.faults.empty()) {
        scansim_reset();
        if (!scansim::configure({o.devices.c_str(), o.sheets.c_str(), o.faults.c_str()}, error)) {
            usageError(error);
            return EXIT_USAGE;
        }
    }
    std::vector<bus::BusDevice> scanners;
    if (!scannersOnBus(scanners, error)) {
        usageError(error);
        return EXIT_USAGE;
    }

    UMockdevTestbed* testbed = bus::MakeTestbed(scanners, error);
    if (!testbed) {
        fprintf(stderr, "scansim-bus: %s\n", error.c_str());
        return EXIT_NO_BUS;
    }
    const char* trace = getenv("SCANSIM_BUS_TRACE");
    int status = EXIT_NO_BUS;
    {
        bus::UsbfsHandler handler(scanners, trace && *trace && strcmp(trace, "0") != 0);
        if (handler.attach(testbed, error))
            status = bus::RunUnderPreload(o.command, error);
        if (!error.empty())
            fprintf(stderr, "scansim-bus: %s\n", error.c_str());
        if (o.report && !writeReport(o.report, scanners)) {
            fprintf(stderr, "scansim-bus: cannot write the report %s: %s\n", o.report, strerror(errno));
            status = status ? status : EXIT_NO_BUS;
        }
    }
    g_object_unref(testbed); // removes the testbed's folder
    return status;
}
