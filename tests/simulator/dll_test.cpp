// scansim.dll's io functions fail as the usbscan calls they stand for: with the Win32
// last error. The model behind them is tested natively.
#include "scansim.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(ScansimDll, IoFailuresSetTheWin32LastError)
{
    scansim_reset();
    ASSERT_EQ(1, scansim_attach(3, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CCD));
    EXPECT_EQ(0, scansim_io_open("\\\\.\\usbscan4"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    intptr_t h = scansim_io_open("\\\\.\\usbscan3");
    ASSERT_NE(0, h);

    uint16_t descriptor[4] = {};
    uint32_t n = 0;
    EXPECT_FALSE(scansim_io_control(h, SCANSIM_IO_GET_DESCRIPTOR, nullptr, 0, descriptor, 4, &n));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_FALSE(scansim_io_control(h, 0x80002000u, nullptr, 0, descriptor, 8, &n));
    EXPECT_EQ(DWORD(ERROR_INVALID_FUNCTION), GetLastError());
    EXPECT_FALSE(scansim_io_write(h, nullptr, 4, &n));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());

    ASSERT_EQ(1, scansim_disconnect(3));
    EXPECT_FALSE(scansim_io_read(h, descriptor, 8, &n));
    EXPECT_EQ(DWORD(ERROR_DEVICE_NOT_CONNECTED), GetLastError());
    EXPECT_TRUE(scansim_io_close(h));
    EXPECT_FALSE(scansim_io_close(h));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}
