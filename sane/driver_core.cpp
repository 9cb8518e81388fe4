#include "driver_core.h"

namespace kestrel_sane {

std::unique_ptr<DriverCore> MakePloverCore(const platform::Platform* os);
std::unique_ptr<DriverCore> MakeWrenCore(const platform::Platform* os);

// plover first: wren also takes the chip maker's reference id that plover's scanner carries.
const DriverFacts* const kDrivers[DRIVER_COUNT] = {&kPloverFacts, &kWrenFacts};

const DriverFacts* DriverFor(uint16_t vendor, uint16_t product)
{
    for (const DriverFacts* d : kDrivers)
        if (d->accepts(vendor, product))
            return d;
    return nullptr;
}

std::unique_ptr<DriverCore> MakeDriverCore(const DriverFacts& facts, const platform::Platform* os)
{
    return &facts == &kPloverFacts ? MakePloverCore(os) : MakeWrenCore(os);
}

} // namespace kestrel_sane
