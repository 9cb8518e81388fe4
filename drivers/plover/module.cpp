// Module state and the module's life: load initialises the device, unload powers it down.
#include "config.h"
#include "driver_state.h"
#include "transport.h"

using namespace lm9831;

ScanSettings g_Settings = {};
PageGeometry g_Page;
int g_ScanDpi = 0;
int SCAN_WIDE_CCD = 0;
int g_PaperPolarity = 0, g_ButtonPolarity = 1;
bool g_FirstFeed = true;
bool g_Preview = false;
bool g_CardScanRunning = false;
int g_CardScanLines = 0;
BlockCallback g_BlockCallback = nullptr;
uint8_t g_Tone[256];
uint8_t g_LineOffset[3] = {0, 0, 0}, g_LineGain[3] = {16, 16, 16};

namespace {
enum : uint8_t { LOAD_MCLK = 30 };
}

void ReinitialiseAfterReconnect()
{
    Init9831();
    WriteRegisterImage();
}

void PloverModuleLoad()
{
    DeleteFileA("c:\\plover.txt");
    DeleteFileA("c:\\usbgan.txt");
    g_FirstFeed = true;
    g_DevicePresent = UsbOpenDriver() ? 1 : 0;
    UsbWriteReg(REG_MCLK_DIVIDER, LOAD_MCLK);
    UsbWriteReg(REG_INTEGRATION_ADJUST, 0);
    BuildConfigPaths();
    g_PaperPolarity = ConfigInt(CFG_PAPER_POLARITY);
    g_ButtonPolarity = ConfigInt(CFG_BUTTON_POLARITY);
    Init9831();
    Reg9831.set8(REG_ILLUMINATION, ILLUM_OFF);
    WriteRegisterImage();
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    UsbReadReg(REG_SENSORS);
    for (int i = 0; i < 256; ++i)
        g_Tone[i] = uint8_t(i);
}

void PloverModuleUnload()
{
    Hypnotize(true);
    UsbCloseDriver();
    g_hUsb = INVALID_HANDLE_VALUE;
}
