#include "device_list.h"

namespace kestrel_sane {

namespace {

// The platform's id filter takes no context: the configuration of the running search.
const BackendConfig* g_searched = nullptr;

template <int driver>
bool TakenBy(uint16_t vendor, uint16_t product)
{
    return IdListed(*g_searched, vendor, product) && DriverFor(vendor, product) == kDrivers[driver];
}

static_assert(DRIVER_COUNT == 2, "a filter per driver");
const platform::UsbIdFilter kFilters[DRIVER_COUNT] = {TakenBy<0>, TakenBy<1>};

} // namespace

std::vector<FoundScanner> FindScanners(const platform::Platform& os, const BackendConfig& config)
{
    std::vector<FoundScanner> found;
    g_searched = &config;
    for (int d = 0; d < DRIVER_COUNT; ++d) {
        platform::UsbDeviceRef refs[platform::USB_MOST_DEVICES];
        const int n = os.usb.enumerate(os.usb.context, kFilters[d], refs, platform::USB_MOST_DEVICES);
        for (int i = 0; i < n; ++i)
            found.push_back(FoundScanner{refs[i], kDrivers[d]});
    }
    g_searched = nullptr;
    return found;
}

} // namespace kestrel_sane
