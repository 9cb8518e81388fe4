// Loads one variant of the test-double driver and gives access to its control block.
#pragma once

#include <windows.h>

#include <string>

#include "testdriver/test_driver_control.h"

class TestDriverModule {
public:
    explicit TestDriverModule(const char* variant)
        : name_(std::string("testdrv_") + variant + ".dll")
    {
        module_ = LoadLibraryA(name_.c_str());
        if (module_) {
            auto control = reinterpret_cast<TD_ControlFn>(GetProcAddress(module_, "TD_Control"));
            control_ = control ? control() : nullptr;
            if (control_)
                *control_ = TestDriverControl{};
        }
    }
    ~TestDriverModule()
    {
        if (module_)
            FreeLibrary(module_);
    }
    TestDriverModule(const TestDriverModule&) = delete;
    TestDriverModule& operator=(const TestDriverModule&) = delete;

    bool Loaded() const { return module_ && control_; }
    const char* FileName() const { return name_.c_str(); }
    HMODULE Handle() const { return module_; }
    TestDriverControl& Control() { return *control_; }
    std::string Calls() const { return control_ ? control_->calls : ""; }

private:
    std::string name_;
    HMODULE module_ = nullptr;
    TestDriverControl* control_ = nullptr;
};
