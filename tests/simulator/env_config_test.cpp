// Without any set-up call, the simulator takes its devices, sheets and faults from
// the environment, so a demo runs without code. The environment applies only at the
// first call of a process: this test program makes no other.
#include "sim_transport.h"

#include <stdlib.h>

using namespace simtest;

TEST(EnvironmentConfig, DevicesAndSheetsFromVariables)
{
    setenv("SCANSIM_DEVICES", "4=cis1:04a9:1ab2, 7=ccd", 1);
    setenv("SCANSIM_SHEET", "7=fiducial", 1);
    setenv("SCANSIM_FAULTS", "7=sensor_stuck:0", 1);

    Handle cis = openDevice(4);
    ASSERT_NE(0, cis);
    Descriptor d = {};
    uint32_t got = 0;
    ASSERT_TRUE(scansim_io_control(cis, SCANSIM_IO_GET_DESCRIPTOR, &d, 8, &d, 8, &got));
    EXPECT_EQ(0x04A9, d.vendorId);
    EXPECT_EQ(0x1AB2, d.productId);
    EXPECT_EQ(0x08, readReg(cis, 0x02) & 0x18) << "variant 1";
    Handle ccd = openDevice(7);
    ASSERT_NE(0, ccd);
    EXPECT_EQ(0x01, readReg(ccd, 0x02) & 0x01) << "the stuck sensor hides the sheet";
    ASSERT_TRUE(scansim_io_control(ccd, SCANSIM_IO_GET_DESCRIPTOR, &d, 8, &d, 8, &got));
    EXPECT_EQ(SCANSIM_DEFAULT_VID, d.vendorId);
    EXPECT_EQ(SCANSIM_DEFAULT_PID_CCD, d.productId);
    EXPECT_EQ(0, openDevice(0));
    // Device 7 came with a sensor stuck at "no paper".
    readReg(ccd, 0x02);
    ScanSimStatus st;
    ASSERT_EQ(1, scansim_get_status(7, &st));
    EXPECT_EQ(1, st.paperAtSensor);
    scansim_io_close(cis);
    scansim_io_close(ccd);
}
