#include "road.h"

#include "acquire.h"
#include "io_driver.h"
#include "scansim.h"

#include <windows.h>

#include <memory>

namespace fidelity {

const Scanner kPlover = {"plover", "plover_sim.dll", 1, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_PID_CCD};
const Scanner kWren = {"wren", "wren_sim.dll", 0, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_PID_CIS};

namespace {

// The source keeps hundredths of an inch cut from 16.16 fixed point: a hair past the
// edge makes the area arrive as written.
const double kHair = 0.004;
const double kCardWidth = 2.2, kCardHeight = 3.6; // inches

} // namespace

void Plug(const Scanner& s, int card)
{
    scansim_detach((&s == &kPlover ? kWren : kPlover).device);
    ScanSimStatus status = {};
    if (!scansim_get_status(s.device, &status) || !status.attached)
        scansim_attach(s.device, s.kind, SCANSIM_DEFAULT_VID, s.productId);
    scansim_remove_sheet(s.device);
    scansim_insert_card(s.device, card);
    WritePrivateProfileStringA("Drivers", "Driver00", s.module, "Fenwick.INI");
}

bool Calibrate(const Scanner& s)
{
    Plug(s, SCANSIM_CARD_WHITE);
    HMODULE m = LoadLibraryA(s.module);
    auto calibrate = m ? reinterpret_cast<IO_CalibrateScannerFn>(
                             reinterpret_cast<void*>(GetProcAddress(m, "IO_CalibrateScanner")))
                       : nullptr;
    const bool ok = calibrate && calibrate(0) == 1;
    if (m)
        FreeLibrary(m);
    return ok;
}

std::string PloverBalanceFile()
{
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\twain_32\\plover\\DadaVor.led";
}

std::string ScanCard(const std::string& mode, int dpi, const std::string& file)
{
    ScanOptions o;
    o.outputPath = file;
    o.pixelType = mode == "rgb" ? TWPT_RGB : mode == "gray" ? TWPT_GRAY : TWPT_BW;
    // Resolutions above 600 reach kestrel only through its profile.
    WritePrivateProfileStringA("Untitle_SET", "resolution", std::to_string(dpi).c_str(), "Fenwick.INI");
    o.resolution = dpi > 600 ? 0 : dpi;
    o.setLayout = true;
    o.left = o.top = kHair;
    o.right = kCardWidth + kHair, o.bottom = kCardHeight + kHair;
    o.timeoutSeconds = 120;
    o.quiet = true;
    DeleteFileA(file.c_str());
    std::unique_ptr<SourceLink> link(CreateDirectLink(o.dsPath, o.hostName));
    const AcquireReport report = AcquireOnePage(o, link.get());
    return report.imageWritten ? std::string() : report.error.empty() ? "no image" : report.error;
}

} // namespace fidelity
