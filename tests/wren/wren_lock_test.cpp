// Two processes and the device lock: the named event of a held device keeps the
// other process away from it (busy, or the next device), and neither process's
// driver sends anything to the other's device.
#include "wren_module.h"

#include <fstream>
#include <set>
#include <sstream>

using namespace wrentest;

namespace {

class WrenLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(wren.Loaded());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        resultFile = std::string(temp) + "wren_lock_child.txt";
        DeleteFileA(resultFile.c_str());
        ready = CreateEventA(nullptr, TRUE, FALSE, "wren_lock_test_ready");
        release = CreateEventA(nullptr, TRUE, FALSE, "wren_lock_test_release");
        ASSERT_TRUE(ready && release);
    }
    void TearDown() override
    {
        SetEvent(release);
        if (child.hProcess) {
            WaitForSingleObject(child.hProcess, 10000);
            CloseHandle(child.hProcess);
            CloseHandle(child.hThread);
        }
        CloseHandle(ready);
        CloseHandle(release);
        DeleteFileA(resultFile.c_str());
    }
    // Starts the other process with `devices` simulated scanners; it takes the lock.
    void StartChild(int devices)
    {
        std::string cmd = "wren_lock_child.exe " + std::to_string(devices) + " \"" + resultFile +
                          "\" wren_lock_test_ready wren_lock_test_release";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &child));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
    }
    // Releases the other process and returns its note.
    std::string FinishChild()
    {
        SetEvent(release);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 30000));
        DWORD code = 99;
        GetExitCodeProcess(child.hProcess, &code);
        EXPECT_EQ(0u, code);
        std::ifstream f(resultFile);
        std::string line;
        std::getline(f, line);
        return line;
    }
    std::set<int> TouchedHere()
    {
        std::set<int> touched;
        for (uint32_t i = 0; i < scansim_log_count(); ++i) {
            ScanSimLogEntry e;
            if (scansim_log_entry(i, &e, nullptr, 0))
                touched.insert(e.device);
        }
        return touched;
    }
    void Attach(int devices)
    {
        scansim_reset();
        for (int i = 0; i < devices; ++i) {
            ASSERT_EQ(1, scansim_attach(i, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS));
            scansim_insert_card(i, SCANSIM_CARD_WHITE);
        }
        scansim_log_clear();
    }

    WrenModule wren;
    std::string resultFile;
    HANDLE ready = nullptr, release = nullptr;
    PROCESS_INFORMATION child = {};
};

TEST_F(WrenLock, AHeldScannerIsBusyForTheOtherProcessAndLeftAlone)
{
    Attach(1);
    StartChild(1);
    // Busy after one retry; the paper sensor of a device held elsewhere is not asked.
    EXPECT_EQ(-1, wren.StartScan());
    EXPECT_EQ(0, wren.IsPaperOn());
    EXPECT_TRUE(TouchedHere().empty());
    EXPECT_EQ("started 1 paper 1 touched 0", FinishChild());
    // Released: this process takes it now. A second IO_StartScan leaks nothing:
    // after IO_EndScan no handle keeps the event alive, and a stray IO_EndScan is harmless.
    EXPECT_EQ(1, wren.StartScan());
    EXPECT_EQ(1, wren.StartScan());
    EXPECT_EQ(1, wren.IsPaperOn());
    HANDLE probe = OpenEventA(SYNCHRONIZE, FALSE, "usbscan0");
    EXPECT_NE(nullptr, probe);
    if (probe)
        CloseHandle(probe);
    wren.EndScan();
    wren.EndScan();
    EXPECT_EQ(nullptr, OpenEventA(SYNCHRONIZE, FALSE, "usbscan0"));
    // Unloading the module releases a lock still held.
    EXPECT_EQ(1, wren.StartScan());
    FreeLibrary(wren.module);
    wren.module = nullptr;
    EXPECT_EQ(nullptr, OpenEventA(SYNCHRONIZE, FALSE, "usbscan0"));
}

TEST_F(WrenLock, WithDeviceZeroHeldTheOtherProcessTakesDeviceOne)
{
    Attach(2);
    StartChild(2);
    ASSERT_EQ(1, wren.StartScan());
    EXPECT_EQ(1, wren.IsPaperOn());
    // A page on the locked device, the paper sensor polled between its blocks
    // without stopping it.
    int polls = 0;
    Page page = ScanPage(wren, GraySettings(100), 32, [&] {
        wren.IsPaperOn();
        ++polls;
    });
    EXPECT_GT(page.lines, 300) << page.result;
    EXPECT_GT(polls, 5);
    wren.EndScan();
    EXPECT_EQ(std::set<int>{1}, TouchedHere());
    EXPECT_EQ("started 1 paper 1 touched 0", FinishChild());
}

} // namespace
