// Without any set-up call, scansim.dll takes its devices and sheets from the
// environment, so a demo runs without code. Checked in a child process that starts
// with the variables set.
#include "sim_transport.h"

#include <windows.h>

using namespace simtest;

TEST(EnvironmentConfig, DevicesAndSheetsFromVariables)
{
    if (getenv("SCANSIM_ENV_CHILD")) {
        HANDLE cis = openDevice(4);
        ASSERT_NE(INVALID_HANDLE_VALUE, cis);
        UsbScanDescriptor d = {};
        uint32_t got = 0;
        ASSERT_TRUE(UsbDevControl(cis, IOCTL_GET_DEVICE_DESCRIPTOR, &d, 8, &d, 8, &got));
        EXPECT_EQ(0x04A9, d.vendorId);
        EXPECT_EQ(0x1AB2, d.productId);
        EXPECT_EQ(0x08, readReg(cis, 0x02) & 0x18) << "variant 1";
        HANDLE ccd = openDevice(7);
        ASSERT_NE(INVALID_HANDLE_VALUE, ccd);
        EXPECT_EQ(0x01, readReg(ccd, 0x02) & 0x01) << "the stuck sensor hides the sheet";
        ASSERT_TRUE(UsbDevControl(ccd, IOCTL_GET_DEVICE_DESCRIPTOR, &d, 8, &d, 8, &got));
        EXPECT_EQ(SCANSIM_DEFAULT_VID, d.vendorId);
        EXPECT_EQ(SCANSIM_DEFAULT_PID_CCD, d.productId);
        EXPECT_EQ(INVALID_HANDLE_VALUE, openDevice(0));
        // Device 7 came with a sensor stuck at "no paper".
        readReg(ccd, 0x02);
        ScanSimStatus st;
        ASSERT_EQ(1, scansim_get_status(7, &st));
        EXPECT_EQ(1, st.paperAtSensor);
        UsbDevClose(cis);
        UsbDevClose(ccd);
        return;
    }
    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
    std::string command = std::string("\"") + exe + "\" --gtest_filter=EnvironmentConfig.*";
    SetEnvironmentVariableA("SCANSIM_DEVICES", "4=cis1:04a9:1ab2, 7=ccd");
    SetEnvironmentVariableA("SCANSIM_SHEET", "7=fiducial");
    SetEnvironmentVariableA("SCANSIM_FAULTS", "7=sensor_stuck:0");
    SetEnvironmentVariableA("SCANSIM_ENV_CHILD", "1");
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("SCANSIM_DEVICES", nullptr);
    SetEnvironmentVariableA("SCANSIM_SHEET", nullptr);
    SetEnvironmentVariableA("SCANSIM_FAULTS", nullptr);
    SetEnvironmentVariableA("SCANSIM_ENV_CHILD", nullptr);
    ASSERT_TRUE(started);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, code) << "the child's checks failed";
}
