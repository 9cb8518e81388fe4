// A scan session against the test-double driver, into a file of the prefix's
// temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "scan/driver_functions.h"
#include "scan/scan_errors.h"
#include "scan/scan_log.h"
#include "scan/scan_session.h"
#include "support/bmp_reader.h"
#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "../misc/temp_file.h"

class SessionTest : public ::testing::Test {
protected:
    SessionTest() : module_("full"), file_("kestrel_session.bmp") {}

    void SetUp() override
    {
        ASSERT_TRUE(module_.Loaded());
        driver_.Attach(LoadLibraryA(module_.FileName()));
        DeleteFileA(kLogFilePath);
        settings_ = {};
        Page(MODE_GRAY, 100, 100, 150);
    }
    void TearDown() override { driver_.Release(); }

    // Area 0,0 to right,bottom (hundredths of an inch) at `resolution` dpi.
    void Page(int mode, int resolution, int right, int bottom)
    {
        settings_.mode = static_cast<int16_t>(mode);
        settings_.resolution = static_cast<int16_t>(resolution);
        settings_.right = static_cast<int16_t>(right);
        settings_.bottom = static_cast<int16_t>(bottom);
    }

    int Scan(bool indicators = false, HWND owner = nullptr)
    {
        return ScanToBmpFile(driver_, owner, file_.c_str(), &settings_, indicators);
    }

    TestDriverControl& Control() { return module_.Control(); }

    // Every pixel of the file against the lines the driver served (top of the page first).
    void ExpectPage(int width, int height)
    {
        DecodedBmp bmp = DecodeBmpFile(file_.str());
        ASSERT_TRUE(bmp.ok) << bmp.error;
        ASSERT_EQ(bmp.width, width);
        ASSERT_EQ(bmp.height, height);
        const int mode = settings_.mode;
        int wrong = 0;
        for (int y = 0; y < height && wrong < 5; ++y)
            for (int x = 0; x < width && wrong < 5; ++x) {
                int r = TestPagePixel(mode, x, y, 0);
                int g = mode == MODE_COLOR ? TestPagePixel(mode, x, y, 1) : r;
                int b = mode == MODE_COLOR ? TestPagePixel(mode, x, y, 2) : r;
                if (bmp.Red(x, y) != r || bmp.Green(x, y) != g || bmp.Blue(x, y) != b) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(bmp.Red(x, y))
                                  << "," << int(bmp.Green(x, y)) << "," << int(bmp.Blue(x, y))
                                  << " instead of " << r << "," << g << "," << b;
                    ++wrong;
                }
            }
    }

    bool Called(const char* name) { return module_.Calls().find(name) != std::string::npos; }

    TraceRecorder recorder_;
    TestDriverModule module_;
    DriverBinding driver_;
    ScanSettings settings_ = {};
    TempFile file_;
};
