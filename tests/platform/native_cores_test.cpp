// The driver cores on the POSIX seam with no scanner on the bus: both load, answer
// "no scanner" and unload; the device lock refuses a second holder, also in-process.
#include <gtest/gtest.h>

#include "device_ops.h"
#include "driver_functions.h"
#include "module.h"
#include "module_functions.h"
#include "platform_posix.h"
#include "tables.h"

#include <string>
#include <vector>

namespace {

class NativeCores : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::PosixOptions options;
        options.settingsFolder = options.dataFolder = testing::TempDir() + "kestrel_native_cores";
        options.lockFolder = testing::TempDir();
        platform::InitPosixPlatform(&os_, options);
    }
    void TearDown() override { platform::ClosePosixPlatform(&os_); }

    platform::PosixPlatform os_;
};

TEST_F(NativeCores, WithoutAScannerBothDriversSayNone)
{
    plover::PloverState p;
    plover::Load(p, &os_.platform);
    EXPECT_FALSE(p.device.present);
    EXPECT_EQ(plover::StartScan(p), IO_START_NO_SCANNER);
    EXPECT_EQ(plover::IsPaperOn(p), 0);
    plover::Unload(p);

    std::vector<uint8_t> division(65536);
    wren::FillDivisionTable(division.data());
    wren::ModuleState w;
    wren::Attach(w, &os_.platform, "wren", division.data());
    EXPECT_EQ(wren::TakeDeviceLock(w), IO_START_NO_SCANNER);
    EXPECT_EQ(wren::HasScanner(w), 0);
    wren::Detach(w, false);
}

TEST_F(NativeCores, DeviceLockHasOneHolder)
{
    const platform::LockOps& lock = os_.platform.lock;
    const char* key = "usb-999-001";
    EXPECT_FALSE(lock.isHeld(lock.context, key));
    platform::DeviceLock first = lock.take(lock.context, key);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(lock.isHeld(lock.context, key));
    EXPECT_EQ(lock.take(lock.context, key), nullptr);
    lock.release(lock.context, first);
    EXPECT_FALSE(lock.isHeld(lock.context, key));
    platform::DeviceLock again = lock.take(lock.context, key);
    EXPECT_NE(again, nullptr);
    lock.release(lock.context, again);
}

} // namespace
