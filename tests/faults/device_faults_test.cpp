// Failing devices, through kestrel.ds as a host drives it: for plover on the
// simulated CCD scanner and wren on the CIS scanner, a fault at every phase of a
// scan (before the start, at the first block, in the middle of the page, at
// feed-out, during calibration). Each row names what the driver answers (the
// calls noted by the page counter in front of the driver), what the host is
// told (return and condition codes, close request, message boxes), and every row
// ends with no image file, as many pages closed as opened, and a good card
// scanned right after without reloading anything.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "acquire.h"
#include "io_driver.h"
#include "scansim.h"
#include "support/bmp_reader.h"
#include "support/dialog_dismisser.h"
#include "wren/wren_module.h"

namespace {

std::string WindowsFile(const char* name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + name;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

const char kProfile[] = "Fenwick.INI";
const char kPloverCalibration[] = "twain_32\\plover\\DadaVorG.oft";
const char kNativeScratch[] = "twain$74.bmp"; // kestrel's file behind a native transfer

// The messages a host's user sees.
const char kNotConnected[] =
    "Scanning is aborted due to scanner either not powered on or not connected to the PC properly.\n\n"
    "Please check the hardware and try again.";
const char kPortBusy[] = "Scanning is aborted due to I/O port busy!";

// One scanner attached at a time (wren would take the CCD scanner's reference ids
// too): switching drivers unplugs the other scanner, so plover also finds its
// scanner replugged whenever its turn comes again.
struct Driver {
    const char* module;  // the page counter in front of the driver, named in the profile
    int device;
    int kind;
    uint16_t productId;
};
const Driver kPlover = {"pagecount_plover.dll", 1, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_PID_CCD};
const Driver kWren = {"pagecount_wren.dll", 0, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_PID_CIS};

enum Setup : unsigned {
    kCard = 1,          // the fiducial card in the feeder
    kWhiteCard = 2,     // the calibration card instead
    kAbsent = 4,        // the device is unplugged before the host enables the source
    kLockHeld = 8,      // another process holds wren's device lock
    kUncalibrated = 16, // the calibration files are set aside: the scan calibrates first
    kTopHalf = 32,      // the page is the card's top half (the rest passes at feed-out)
};

struct Case {
    const Driver* driver;
    const char* phase;
    const char* fault;
    unsigned setup;
    int simFault; // 0: none beyond the setup
    uint32_t param;
    XferMechanism mech;
    const char* calls;   // what the driver answered, in order
    const char* error;   // what the host saw (codes of the failed call, or the close request)
    const char* boxes;   // message box texts, joined by " | "
};

class DeviceFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scansim_reset();
        for (const char* name : {"pagecount_plover.dll", "pagecount_wren.dll"}) {
            // Held for the whole run: the driver stays loaded between scans, as
            // in a host that keeps the source manager.
            HMODULE m = LoadLibraryA(name);
            ASSERT_NE(m, nullptr) << name;
            take_[name == std::string("pagecount_plover.dll") ? 0 : 1] =
                reinterpret_cast<TakeFn>(reinterpret_cast<void*>(GetProcAddress(m, "PageCounter_Take")));
        }
        // Both scanners calibrated once with the white card.
        for (const Driver* d : {&kPlover, &kWren}) {
            Load(*d, SCANSIM_CARD_WHITE);
            HMODULE m = GetModuleHandleA(d->module);
            auto calibrate = reinterpret_cast<IO_CalibrateScannerFn>(
                reinterpret_cast<void*>(GetProcAddress(m, "IO_CalibrateScanner")));
            ASSERT_TRUE(calibrate && calibrate(0) == 1) << d->module;
            char calls[256];
            int started, ended;
            take_[d == &kPlover ? 0 : 1](calls, sizeof(calls), &started, &ended);
        }
    }
    static void TearDownTestSuite()
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, kProfile);
        DeleteFileA(WindowsFile(kProfile).c_str());
        DeleteFileA(WindowsFile(kPloverCalibration).c_str());
        DeleteFileA(wrentest::CalibrationFile().c_str());
        scansim_reset();
    }
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        output_ = std::string(temp) + "device_faults.bmp";
        DeleteFileA(output_.c_str());
    }
    void TearDown() override { DeleteFileA(output_.c_str()); }

    // The device as a user leaves it: faults gone, plugged in, this card (or none) in the feeder.
    static void Load(const Driver& d, int card)
    {
        scansim_detach((&d == &kPlover ? kWren : kPlover).device);
        ScanSimStatus status = {};
        if (!scansim_get_status(d.device, &status) || !status.attached)
            scansim_attach(d.device, d.kind, SCANSIM_DEFAULT_VID, d.productId);
        else if (!status.connected)
            scansim_reconnect(d.device);
        scansim_clear_faults(d.device);
        scansim_remove_sheet(d.device);
        if (card)
            scansim_insert_card(d.device, card);
    }
    static std::string CalibrationFile(const Driver& d)
    {
        return &d == &kPlover ? WindowsFile(kPloverCalibration) : wrentest::CalibrationFile();
    }

    struct Outcome {
        AcquireReport report;
        std::string calls, boxes;
        int started = 0, ended = 0;
    };
    Outcome Acquire(const Driver& d, XferMechanism mech, bool topHalf)
    {
        WritePrivateProfileStringA("Drivers", "Driver00", d.module, kProfile);
        ScanOptions o;
        o.outputPath = output_;
        o.mechanism = mech;
        o.pixelType = TWPT_GRAY;
        o.resolution = 100;
        o.setLayout = true;
        o.left = 0, o.top = 0, o.right = 2.1, o.bottom = topHalf ? 1.8 : 3.6;
        o.timeoutSeconds = 30;
        o.quiet = true;
        Outcome out;
        {
            DialogDismisser dismisser;
            std::unique_ptr<SourceLink> link(CreateDirectLink(o.dsPath, o.hostName));
            out.report = AcquireOnePage(o, link.get());
            for (const std::string& t : dismisser.Texts())
                out.boxes += (out.boxes.empty() ? "" : " | ") + t;
        }
        char calls[512];
        take_[&d == &kPlover ? 0 : 1](calls, sizeof(calls), &out.started, &out.ended);
        out.calls = calls;
        return out;
    }

    typedef int (*TakeFn)(char*, int, int*, int*);
    static TakeFn take_[2];
    std::string output_;
};

DeviceFaults::TakeFn DeviceFaults::take_[2] = {};

// Another process holding wren's device lock until released.
class LockHolder {
public:
    LockHolder()
    {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, "device_faults_ready");
        release_ = CreateEventA(nullptr, TRUE, FALSE, "device_faults_release");
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string command = std::string("wren_lock_child.exe 1 \"") + temp +
                              "device_faults_child.txt\" device_faults_ready device_faults_release";
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
        held_ = started_ && WaitForSingleObject(ready_, 20000) == WAIT_OBJECT_0;
    }
    ~LockHolder()
    {
        SetEvent(release_);
        if (started_) {
            WaitForSingleObject(pi_.hProcess, 20000);
            CloseHandle(pi_.hProcess);
            CloseHandle(pi_.hThread);
        }
        CloseHandle(ready_);
        CloseHandle(release_);
    }
    bool Held() const { return held_; }

private:
    HANDLE ready_, release_;
    PROCESS_INFORMATION pi_ = {};
    BOOL started_ = FALSE;
    bool held_ = false;
};

// What the host sees: a transfer that fails, or the close request after enabling.
#define FILE_FAILED "the file transfer failed: TWRC 1, TWCC 5"
#define NATIVE_FAILED "the native transfer failed: TWRC 1, TWCC 0"
#define MEMORY_FAILED "the memory transfer failed: TWRC 1, TWCC 5"
#define CLOSE_ASKED "the source asked to be closed before an image was ready"
// Message boxes: kestrel's, and the drivers' own.
#define NOT_CONNECTED                                                                                \
    "Scanning is aborted due to scanner either not powered on or not connected to the PC properly.\n\n" \
    "Please check the hardware and try again."
#define PORT_BUSY "Scanning is aborted due to I/O port busy!"
#define DRIVER_CODE_2 "coding error in scanner.cpp::SetErroecode()->2"
#define INSERT_ITEM "Please insert the item to be scanned into the scanner printed face-up now."
#define PLOVER_MEMORY_TEST "Buffer testing failure...1"
#define PLOVER_CALIBRATE                                                                     \
    "To make sure you can always get the best scanned image quality,\n"                      \
    "this calibration page will show up by the scanner driver periodically \n"               \
    "or when you press the 'Calibrate' button in the 'Custom Settng' page.\n"                \
    "Insert the Calibration Paper or a piece of bright white sheet of the same size.\n\n"     \
    "When ready, press the &OK button."

// Driver answers: IO_StartScan 1 ready, -1 busy, -2 no device, 0 calibration failed;
// IO_StartScanPage 0 no paper (plover); blocks -2 not answering, -5 page ended;
// IO_FeedPage 0 jam.
const Case kCases[] = {
    // --- before the start ---
    {&kPlover, "before start", "device unplugged", kCard | kAbsent, 0, 0, XferMechanism::File,
     "scan=-2 endscan", CLOSE_ASKED, PLOVER_MEMORY_TEST " | " NOT_CONNECTED},
    {&kWren, "before start", "device unplugged", kCard | kAbsent, 0, 0, XferMechanism::File,
     "scan=-2 endscan", CLOSE_ASKED, NOT_CONNECTED},
    {&kWren, "before start", "lock held by another process", kCard | kLockHeld, 0, 0, XferMechanism::File,
     "scan=-1 endscan", CLOSE_ASKED, PORT_BUSY},
    {&kPlover, "before start", "no paper", 0, 0, 0, XferMechanism::File,
     "scan=1 page=0 endpage endscan", FILE_FAILED, ""},
    {&kWren, "before start", "no paper", 0, 0, 0, XferMechanism::Native,
     "scan=1 page=1 block=-5 feed=1 endpage endscan", NATIVE_FAILED, ""},
    {&kPlover, "before start", "paper sensor stuck absent", kCard, SCANSIM_FAULT_SENSOR_STUCK, 0,
     XferMechanism::File, "scan=1 page=0 endpage endscan", FILE_FAILED, ""},
    // wren finds no leading edge: a few lines, too few for a page
    {&kWren, "before start", "paper sensor stuck absent", kCard, SCANSIM_FAULT_SENSOR_STUCK, 0,
     XferMechanism::File, "scan=1 page=1 lines feed=1 endpage endscan", FILE_FAILED, ""},
    // --- at the first block ---
    {&kPlover, "first block", "data stop", kCard, SCANSIM_FAULT_SHORT_FROM, 1, XferMechanism::File,
     "scan=1 page=1 block=-2 feed=1 endpage endscan", FILE_FAILED, DRIVER_CODE_2},
    {&kWren, "first block", "data stop", kCard, SCANSIM_FAULT_SHORT_FROM, 1, XferMechanism::Memory,
     "scan=1 page=1 block=-2 feed=1 endpage endscan", MEMORY_FAILED, ""},
    {&kPlover, "first block", "device vanishes", kCard, SCANSIM_FAULT_DISCONNECT_AT, 1, XferMechanism::Native,
     "scan=1 page=1 block=-2 feed=0 endpage endscan", NATIVE_FAILED, DRIVER_CODE_2},
    {&kWren, "first block", "device vanishes", kCard, SCANSIM_FAULT_DISCONNECT_AT, 1, XferMechanism::File,
     "scan=1 page=1 block=-2 feed=0 endpage endscan", FILE_FAILED, DRIVER_CODE_2},
    {&kPlover, "first block", "short reads", kCard, SCANSIM_FAULT_SHORT_EVERY, 2, XferMechanism::File,
     "scan=1 page=1 block=-2 feed=0 endpage endscan", FILE_FAILED, PLOVER_MEMORY_TEST " | " DRIVER_CODE_2},
    {&kWren, "first block", "short reads", kCard, SCANSIM_FAULT_SHORT_EVERY, 2, XferMechanism::File,
     "scan=1 page=1 block=-2 feed=0 endpage endscan", FILE_FAILED, DRIVER_CODE_2},
    // --- in the middle of the page ---
    {&kPlover, "mid-page", "data stop", kCard, SCANSIM_FAULT_SHORT_FROM, 30000, XferMechanism::Memory,
     "scan=1 page=1 block=-2 feed=1 endpage endscan", MEMORY_FAILED, ""},
    {&kWren, "mid-page", "data stop", kCard, SCANSIM_FAULT_SHORT_FROM, 30000, XferMechanism::File,
     "scan=1 page=1 block=-2 feed=1 endpage endscan", FILE_FAILED, DRIVER_CODE_2},
    {&kPlover, "mid-page", "device vanishes", kCard, SCANSIM_FAULT_DISCONNECT_AT, 30000, XferMechanism::File,
     "scan=1 page=1 block=-2 feed=0 endpage endscan", FILE_FAILED, DRIVER_CODE_2},
    {&kWren, "mid-page", "device vanishes", kCard, SCANSIM_FAULT_DISCONNECT_AT, 30000, XferMechanism::Native,
     "scan=1 page=1 block=-2 feed=0 endpage endscan", NATIVE_FAILED, DRIVER_CODE_2},
    {&kPlover, "mid-page", "jam", kCard, SCANSIM_FAULT_JAM, 900, XferMechanism::File,
     "scan=1 page=1 lines feed=0 endpage endscan", FILE_FAILED, ""},
    {&kWren, "mid-page", "jam", kCard, SCANSIM_FAULT_JAM, 900, XferMechanism::Memory,
     "scan=1 page=1 lines feed=0 endpage endscan", MEMORY_FAILED, ""},
    // Neither driver reads the sensor while lines arrive: the page is whole.
    {&kPlover, "mid-page", "paper sensor flapping", kCard, SCANSIM_FAULT_SENSOR_FLAP, 0, XferMechanism::File,
     "scan=1 page=1 lines feed=1 endpage endscan", "", ""},
    {&kWren, "mid-page", "paper sensor flapping", kCard, SCANSIM_FAULT_SENSOR_FLAP, 0, XferMechanism::File,
     "scan=1 page=1 lines feed=1 endpage endscan", "", ""},
    // --- at feed-out (the page is the card's top half) ---
    {&kPlover, "feed-out", "jam", kCard | kTopHalf, SCANSIM_FAULT_JAM, 1700, XferMechanism::File,
     "scan=1 page=1 lines feed=0 endpage endscan", FILE_FAILED, ""},
    {&kWren, "feed-out", "jam", kCard | kTopHalf, SCANSIM_FAULT_JAM, 1700, XferMechanism::Memory,
     "scan=1 page=1 lines feed=0 endpage endscan", MEMORY_FAILED, ""},
    {&kPlover, "feed-out", "paper sensor stuck present", kCard | kTopHalf, SCANSIM_FAULT_SENSOR_STUCK, 1,
     XferMechanism::File, "scan=1 page=1 lines feed=0 endpage endscan", FILE_FAILED, ""},
    {&kWren, "feed-out", "paper sensor stuck present", kCard | kTopHalf, SCANSIM_FAULT_SENSOR_STUCK, 1,
     XferMechanism::File, "scan=1 page=1 lines feed=0 endpage endscan", FILE_FAILED, ""},
    // --- during calibration (plover calibrates when enabled, wren before memory strips) ---
    {&kPlover, "calibration", "device vanishes", kWhiteCard | kUncalibrated, SCANSIM_FAULT_DISCONNECT_AT,
     50000, XferMechanism::File, "scan=0 endscan", CLOSE_ASKED, PLOVER_CALIBRATE " | " NOT_CONNECTED},
    {&kPlover, "calibration", "no paper", kUncalibrated, 0, 0, XferMechanism::File,
     "scan=0 endscan", CLOSE_ASKED, PLOVER_CALIBRATE " | " NOT_CONNECTED},
    {&kWren, "calibration", "device vanishes", kWhiteCard | kUncalibrated, SCANSIM_FAULT_DISCONNECT_AT,
     50000, XferMechanism::Memory, "scan=1 calibrate=0 page=1 block=-2 feed=0 endpage endscan", MEMORY_FAILED,
     INSERT_ITEM},
    {&kWren, "calibration", "data stop", kWhiteCard | kUncalibrated, SCANSIM_FAULT_SHORT_FROM,
     50000, XferMechanism::Memory, "scan=1 calibrate=0 page=1 block=-2 feed=1 endpage endscan", MEMORY_FAILED,
     INSERT_ITEM},
};

TEST_F(DeviceFaults, EveryFaultEndsAsDocumentedAndTheNextCardScans)
{
    for (const Case& c : kCases) {
        const Driver& d = *c.driver;
        const std::string where = std::string(d.module) + ", " + c.phase + ", " + c.fault;
        SCOPED_TRACE(where);
        Load(d, c.setup & kCard ? SCANSIM_CARD_FIDUCIAL : c.setup & kWhiteCard ? SCANSIM_CARD_WHITE : 0);
        if (c.simFault)
            scansim_set_fault(d.device, c.simFault, c.param);
        if (c.setup & kAbsent)
            scansim_disconnect(d.device);
        const std::string calibration = CalibrationFile(d);
        if (c.setup & kUncalibrated) {
            ASSERT_TRUE(MoveFileExA(calibration.c_str(), (calibration + ".kept").c_str(), MOVEFILE_REPLACE_EXISTING));
        }
        std::unique_ptr<LockHolder> lock;
        if (c.setup & kLockHeld) {
            lock.reset(new LockHolder);
            ASSERT_TRUE(lock->Held());
        }

        Outcome out = Acquire(d, c.mech, (c.setup & kTopHalf) != 0);
        lock.reset();
        EXPECT_EQ(c.calls, out.calls);
        EXPECT_EQ(c.error, out.report.error);
        if (!c.error[0]) { // the fault did no harm: a whole card
            ASSERT_TRUE(out.report.imageWritten);
            DecodedBmp bmp = DecodeBmpFile(output_);
            ASSERT_TRUE(bmp.ok) << bmp.error;
            EXPECT_NEAR(360, bmp.height, 3);
            DeleteFileA(output_.c_str());
        }
        EXPECT_FALSE(out.report.imageWritten && c.error[0]);
        EXPECT_EQ(c.boxes, out.boxes);
        EXPECT_EQ(out.started, out.ended) << "every page opened is closed";
        EXPECT_FALSE(FileExists(output_)) << "no partial image";
        EXPECT_FALSE(FileExists(kNativeScratch)) << "no partial image";
        ScanSimStatus status = {};
        if (scansim_get_status(d.device, &status) && status.connected) {
            EXPECT_FALSE(status.scanning) << "the scanner is left stopped";
            EXPECT_EQ(0, status.motorRun) << "the motor is left stopped";
        }
        // The same simulated scanner, plugged in again, and a good card: no reset, no reload.
        Load(d, SCANSIM_CARD_FIDUCIAL);
        if (c.setup & kUncalibrated) {
            // Whatever a failed calibration left on disk does not count as a calibration.
            auto needed = reinterpret_cast<IO_IsCalibrationNeededFn>(
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(d.module), "IO_IsCalibrationNeeded")));
            EXPECT_EQ(1, needed());
            MoveFileExA((calibration + ".kept").c_str(), calibration.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        Outcome next = Acquire(d, XferMechanism::File, false);
        EXPECT_TRUE(next.report.imageWritten) << next.report.error << " / " << next.calls;
        EXPECT_EQ(1, next.started);
        EXPECT_EQ(1, next.ended);
        EXPECT_EQ("", next.boxes);
        DeleteFileA(output_.c_str());
    }
}

} // namespace
