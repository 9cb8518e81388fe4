#include "module_functions.h"

#include "device_ops.h"
#include "module_names.h"
#include "page_scan.h"
#include "tables.h"

#include <stdio.h>
#include <string.h>

namespace wren {

namespace {

const uint16_t kReferenceProducts[] = {0x1000, 0x1001, 0x1002, 0x3000, 0x3008, 0x302A};

bool IsReferenceProduct(uint16_t id)
{
    for (uint16_t p : kReferenceProducts)
        if (p == id)
            return true;
    return false;
}

} // namespace

void Attach(ModuleState& m, const platform::Platform* os, const char* moduleFileName, const uint8_t* division)
{
    m.platform = os;
    m.moduleFileName = moduleFileName;
    m.stateCode = STATE_LOADED;
    m.division = division;
}

void Detach(ModuleState& m, bool processEnding)
{
    if (!processEnding)
        EndPage(m);
    ReleaseDeviceLock(m);
    m.division = nullptr;
}

int HasScanner(ModuleState& m)
{
    const bool heldBefore = m.lock != nullptr;
    if (!heldBefore && TakeDeviceLock(m) != IO_START_READY) {
        ReleaseDeviceLock(m);
        return 0;
    }
    const ModuleName* row = FindModuleName(OwnModuleFileName(m));
    const uint16_t expected = row ? row->productId : uint16_t(DEFAULT_PRODUCT_ID);
    platform::UsbDescriptor d = {};
    Link h = OpenWorkDevice(m, &d);
    int answer = 0;
    if (h.isOpen()) {
        m.sensorVariant = ReadSensorVariant(h);
        CloseDevice(h);
        if (d.productId == expected)
            answer = 1;
        else if (IsReferenceProduct(d.productId))
            answer = row ? 0 : 1;
    }
    if (!heldBefore)
        ReleaseDeviceLock(m);
    return answer;
}

int HardwareCheck(ModuleState& m, char* model, char* interfaceType, char* attachment, char* versionMajor,
                  char* versionMinor, short* value1, short* value2, short* value3)
{
    platform::UsbDescriptor d = {};
    Link h = OpenWorkDevice(m, &d);
    if (!h.isOpen())
        return 0;
    m.sensorVariant = ReadSensorVariant(h);
    CloseDevice(h);
    if (model) strcpy(model, ModelText());
    if (interfaceType) strcpy(interfaceType, "USB");
    if (attachment) strcpy(attachment, "---");
    if (versionMajor) sprintf(versionMajor, "%02d", 1);
    if (versionMinor) sprintf(versionMinor, "%02d", 36);
    if (value1) *value1 = short(d.productId);
    if (value2) *value2 = short(d.vendorId);
    if (value3) *value3 = short(m.sensorVariant);
    return 1;
}

int ResolutionInfo(short* maximum, short* minimum, short* step)
{
    if (maximum) *maximum = 1200;
    if (minimum) *minimum = 50;
    if (step) *step = 50;
    return 1;
}

int HalftonePatternNames(char* names, short* count)
{
    if (count)
        *count = HALFTONE_COUNT;
    if (names) {
        memset(names, 0, 100);
        char* at = names;
        for (const HalftonePattern& p : kHalftones) {
            strcpy(at, p.name);
            at += strlen(p.name) + 1;
        }
    }
    return 1;
}

int PatternData(int pattern, unsigned char* buffer, short* width, short* height)
{
    if (pattern < 1 || pattern > HALFTONE_COUNT)
        return 0;
    const HalftonePattern& p = kHalftones[pattern - 1];
    if (buffer)
        memcpy(buffer, p.cells, size_t(p.width * p.height));
    if (width) *width = short(p.width);
    if (height) *height = short(p.height);
    return 1;
}

int IsCapableOf(short capability) { return capability == IO_CAP_FEEDOUT || capability == 1101 ? 1 : 0; }

void DriverName(char* name)
{
    if (name)
        strcpy(name, DriverNameText());
}

} // namespace wren
