// The SANE entry points (sane_kestrel_*, found by the dll backend). State of the
// backend as a whole lives here; each handle keeps its own (scanner.h). No C++
// exception leaves an entry point.
#include "config_file.h"
#include "debug.h"
#include "device_list.h"
#include "scan_job.h"
#include "scanner.h"

#include <sane/sane.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#ifndef KESTREL_VERSION_BUILD
#define KESTREL_VERSION_BUILD 0
#endif

#define ENTRY extern "C" __attribute__((visibility("default")))

using namespace kestrel_sane;

namespace {

const char kVendor[] = "Norvale";
const char kType[] = "sheetfed scanner";

struct Backend {
    bool initialised = false;
    BackendConfig config;
    platform::PosixPlatform discovery; // the bus as sane_get_devices sees it
    std::vector<std::string> names;    // the device list's storage, kept until the next list
    std::vector<SANE_Device> devices;
    std::vector<const SANE_Device*> list;
    std::vector<Scanner*> open;
};

Backend g_backend;

Scanner* Open(SANE_Handle handle)
{
    auto& open = g_backend.open;
    auto at = std::find(open.begin(), open.end(), static_cast<Scanner*>(handle));
    return at == open.end() ? nullptr : *at;
}

// Marks a call in progress, so that a sane_cancel meanwhile only asks.
struct InCall {
    explicit InCall(Scanner& s) : s_(s) { s_.inCall = true; }
    ~InCall() { s_.inCall = false; }
    Scanner& s_;
};

template <typename Body>
SANE_Status Guarded(Body body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return SANE_STATUS_NO_MEM;
    } catch (...) {
        return SANE_STATUS_IO_ERROR;
    }
}

void CloseScanner(Scanner* s)
{
    CancelPage(*s);
    delete s;
}

// The POSIX seam as the configuration sets it: the drivers' settings file in the SANE
// configuration folder, calibration data in the user's data folder (the seam's default).
platform::PosixOptions PlatformOptions()
{
    platform::PosixOptions options;
    options.settingsFolder = g_backend.config.folder;
    options.log = DriverLog;
    options.usbTimeoutMs = g_backend.config.usbTimeoutMs;
    return options;
}

SANE_Status OpenScanner(const FoundScanner& found, Scanner** out)
{
    std::unique_ptr<Scanner> s(new Scanner());
    s->name = found.ref.path;
    InitHandlePlatform(&s->platform, PlatformOptions(), found.ref);
    s->core = MakeDriverCore(*found.driver, &s->platform.platform);
    const std::vector<int> resolutions = s->core->present() ? s->core->resolutions() : std::vector<int>();
    if (resolutions.empty()) {
        DBG(1, "%s: cannot open the %s scanner (in use by another program, or no permission: is the user in "
               "the scanner group?)",
            s->name.c_str(), found.driver->name);
        return SANE_STATUS_IO_ERROR;
    }
    InitOptions(&s->options, *found.driver, resolutions);
    DBG(3, "%s: opened, driver %s", s->name.c_str(), found.driver->name);
    *out = s.release();
    return SANE_STATUS_GOOD;
}

} // namespace

ENTRY void sane_kestrel_exit(void);

ENTRY SANE_Status sane_kestrel_init(SANE_Int* version, SANE_Auth_Callback)
{
    return Guarded([&] {
        if (g_backend.initialised)
            sane_kestrel_exit();
        InitDebug();
        DBG(3, "sane_init: kestrel backend, SANE %d.%d build %d", SANE_CURRENT_MAJOR, SANE_CURRENT_MINOR,
            KESTREL_VERSION_BUILD);
        if (version)
            *version = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, SANE_CURRENT_MINOR, KESTREL_VERSION_BUILD);
        g_backend.config = ReadConfig();
        platform::InitPosixPlatform(&g_backend.discovery, PlatformOptions());
        g_backend.initialised = true;
        return SANE_STATUS_GOOD;
    });
}

ENTRY void sane_kestrel_exit(void)
{
    if (!g_backend.initialised)
        return;
    Guarded([] {
        for (Scanner* s : g_backend.open)
            CloseScanner(s);
        g_backend.open.clear();
        g_backend.list.clear();
        g_backend.devices.clear();
        g_backend.names.clear();
        platform::ClosePosixPlatform(&g_backend.discovery);
        g_backend.initialised = false;
        DBG(3, "sane_exit");
        return SANE_STATUS_GOOD;
    });
}

ENTRY SANE_Status sane_kestrel_get_devices(const SANE_Device*** list, SANE_Bool)
{
    if (!g_backend.initialised || !list)
        return SANE_STATUS_INVAL;
    return Guarded([&] {
        const std::vector<FoundScanner> found = FindScanners(g_backend.discovery.platform, g_backend.config);
        Backend& b = g_backend;
        b.list.clear();
        b.devices.clear();
        b.names.clear();
        b.names.reserve(found.size()); // the devices point into these strings
        for (const FoundScanner& f : found) {
            b.names.push_back(f.ref.path);
            b.devices.push_back(SANE_Device{b.names.back().c_str(), kVendor, f.driver->model, kType});
            DBG(3, "found %s (%s)", f.ref.path, f.driver->name);
        }
        for (const SANE_Device& d : b.devices)
            b.list.push_back(&d);
        b.list.push_back(nullptr);
        *list = b.list.data();
        return SANE_STATUS_GOOD;
    });
}

ENTRY SANE_Status sane_kestrel_open(SANE_String_Const name, SANE_Handle* handle)
{
    if (!g_backend.initialised || !name || !handle)
        return SANE_STATUS_INVAL;
    *handle = nullptr;
    return Guarded([&] {
        const std::vector<FoundScanner> found = FindScanners(g_backend.discovery.platform, g_backend.config);
        for (const FoundScanner& f : found) {
            if (*name && std::string(name) != f.ref.path)
                continue;
            Scanner* s = nullptr;
            const SANE_Status status = OpenScanner(f, &s);
            if (status == SANE_STATUS_GOOD) {
                g_backend.open.push_back(s);
                *handle = s;
            }
            return status;
        }
        DBG(1, "no scanner \"%.64s\"", name);
        return SANE_STATUS_INVAL;
    });
}

ENTRY void sane_kestrel_close(SANE_Handle handle)
{
    Scanner* s = Open(handle);
    if (!s)
        return;
    Guarded([&] {
        auto& open = g_backend.open;
        open.erase(std::find(open.begin(), open.end(), s));
        CloseScanner(s);
        return SANE_STATUS_GOOD;
    });
}

ENTRY const SANE_Option_Descriptor* sane_kestrel_get_option_descriptor(SANE_Handle handle, SANE_Int option)
{
    Scanner* s = Open(handle);
    if (!s || option < 0 || option >= OPTION_COUNT)
        return nullptr;
    return &s->options.descriptors[option];
}

ENTRY SANE_Status sane_kestrel_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action, void* value,
                                              SANE_Int* info)
{
    Scanner* s = Open(handle);
    if (info)
        *info = 0;
    if (!s || option < 0 || option >= OPTION_COUNT)
        return SANE_STATUS_INVAL;
    if (action == SANE_ACTION_GET_VALUE)
        return GetOption(s->options, option, value);
    if (action != SANE_ACTION_SET_VALUE)
        return SANE_STATUS_INVAL; // no option is automatic
    if (s->job.pageOpen)
        return SANE_STATUS_DEVICE_BUSY;
    return Guarded([&] {
        InCall call(*s);
        const SANE_Status status = SetOption(&s->options, option, value, info);
        if (status == SANE_STATUS_GOOD && option == OPT_CALIBRATE)
            return Calibrate(*s);
        return status;
    });
}

ENTRY SANE_Status sane_kestrel_get_parameters(SANE_Handle handle, SANE_Parameters* parameters)
{
    Scanner* s = Open(handle);
    if (!s || !parameters)
        return SANE_STATUS_INVAL;
    *parameters = s->job.pageOpen ? s->job.parameters : ParametersOf(RequestOf(s->options), 0, 0);
    return SANE_STATUS_GOOD;
}

ENTRY SANE_Status sane_kestrel_start(SANE_Handle handle)
{
    Scanner* s = Open(handle);
    if (!s)
        return SANE_STATUS_INVAL;
    return Guarded([&] {
        InCall call(*s);
        return StartPage(*s);
    });
}

ENTRY SANE_Status sane_kestrel_read(SANE_Handle handle, SANE_Byte* data, SANE_Int most, SANE_Int* length)
{
    Scanner* s = Open(handle);
    if (!s) {
        if (length)
            *length = 0;
        return SANE_STATUS_INVAL;
    }
    return Guarded([&] {
        InCall call(*s);
        return ReadPage(*s, data, most, length);
    });
}

// Safe from a signal handler while another call runs: it only asks that call to stop.
ENTRY void sane_kestrel_cancel(SANE_Handle handle)
{
    Scanner* s = Open(handle);
    if (!s)
        return;
    if (s->inCall) {
        s->cancelAsked = true;
        return;
    }
    Guarded([&] {
        CancelPage(*s);
        return SANE_STATUS_GOOD;
    });
}

ENTRY SANE_Status sane_kestrel_set_io_mode(SANE_Handle handle, SANE_Bool nonBlocking)
{
    Scanner* s = Open(handle);
    if (!s || !s->job.pageOpen)
        return SANE_STATUS_INVAL;
    return nonBlocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

ENTRY SANE_Status sane_kestrel_get_select_fd(SANE_Handle handle, SANE_Int* fd)
{
    Scanner* s = Open(handle);
    if (!s || !fd || !s->job.pageOpen)
        return SANE_STATUS_INVAL;
    return SANE_STATUS_UNSUPPORTED;
}
