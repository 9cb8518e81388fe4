// The POSIX platform of a native core test: the simulator of this process is its USB
// device, and its settings, data and lock folders lie in a temporary folder of the
// test program's own (removed at the end), so test programs can run side by side.
#pragma once

#include "platform_posix.h"
#include "platform_sim_usb.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace simtest {

class SimulatedPlatform {
public:
    // Settings and data files in <temporary>/<name>-<pid>/data, device locks beside it.
    explicit SimulatedPlatform(const std::string& name)
        : root_(testing::TempDir() + name + "-" + std::to_string(getpid())), dataFolder_(root_ + "/data")
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        std::filesystem::create_directories(dataFolder_);
        platform::PosixOptions options;
        options.settingsFolder = options.dataFolder = dataFolder_;
        options.lockFolder = root_;
        platform::InitPosixPlatform(&posix_, options);
        posix_.platform.usb = platform::SimulatedUsbOps();
    }
    ~SimulatedPlatform()
    {
        platform::ClosePosixPlatform(&posix_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    SimulatedPlatform(const SimulatedPlatform&) = delete;
    SimulatedPlatform& operator=(const SimulatedPlatform&) = delete;

    platform::Platform& Os() { return posix_.platform; }
    const std::string& DataFolder() const { return dataFolder_; }

private:
    std::string root_, dataFolder_;
    platform::PosixPlatform posix_;
};

} // namespace simtest
