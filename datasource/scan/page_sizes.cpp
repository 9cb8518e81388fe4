// Standard page sizes and the matching of a scan area against them.
#include "scan/settings_store.h"

const PageSize kPageSizes[SCAN_SIZE_COUNT + 1] = {
    {0, 0},       // 0: user-defined area
    {850, 1100},  // 1 Letter
    {850, 1400},  // 2 Legal
    {830, 1170},  // 3 A4
    {580, 830},   // 4 A5
    {720, 1010},  // 5 B5
    {470, 220},   // 6 Business card
    {500, 300},   // 7 Photo
    {600, 400},   // 8 Large photo
};

bool SetScanSize(ScanSettings& settings, int number)
{
    if (number < 1 || number > SCAN_SIZE_COUNT)
        return false;
    settings.scanSize = static_cast<int16_t>(number);
    settings.top = 0;
    settings.left = 0;
    settings.right = kPageSizes[number].right;
    settings.bottom = kPageSizes[number].bottom;
    return true;
}

int ScanSizeFromArea(const ScanSettings& settings)
{
    if (settings.top != 0 || settings.left != 0)
        return 0;
    for (int number = 1; number <= SCAN_SIZE_COUNT; ++number) {
        if (settings.right == kPageSizes[number].right &&
            settings.bottom == kPageSizes[number].bottom)
            return number;
    }
    return 0;
}
