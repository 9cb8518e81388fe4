// An open source with the test-double driver, reached through DS_Entry as a
// Source Manager would, and a host window that receives the notifications.
#pragma once

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "twain/source_app.h"
#include "twain/transfer_state.h"

extern "C" TW_UINT16 WINAPI DS_Entry(pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);

class OpenSource : public ::testing::Test {
protected:
    // ProductName the host presents; "" for an ordinary host.
    virtual const char* HostName() const { return "Test Host"; }
    virtual const char* WindowClass() const { return "KestrelTestHost"; }

    void SetUp() override
    {
        DeleteProfile();
        WritePrivateProfileStringA("Drivers", "Driver00", "testdrv_full.dll", "Fenwick.INI");
        ASSERT_TRUE(driver.Loaded());

        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = WindowClass();
        RegisterClassA(&wc);
        window = CreateWindowA(WindowClass(), "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                               nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);

        theApp.twainState = 3;
        theApp.conditionCode = TWCC_SUCCESS;
        theApp.showIndicators = 1;
        theTransfer = TransferState{};
        strcpy(host.ProductName, HostName());
        TW_IDENTITY source = {};
        strcpy(source.ProductName, "Zureruri Zedu");
        ASSERT_EQ(DS_Entry(&host, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
        theApp.showIndicators = 0;
        // A small gray page: 100 x 60 pixels at 100 dpi.
        theApp.settings.mode = MODE_GRAY;
        theApp.settings.resolution = 100;
        theApp.settings.left = theApp.settings.top = 0;
        theApp.settings.right = 100;
        theApp.settings.bottom = 60;
        driver.Control().ClearCalls();
    }

    void TearDown() override
    {
        DS_Entry(&host, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
        DestroyWindow(window);
        UnregisterClassA(WindowClass(), GetModuleHandleA(nullptr));
        DeleteProfile();
    }

    static void DeleteProfile()
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
        char path[MAX_PATH];
        GetWindowsDirectoryA(path, MAX_PATH);
        strcat(path, "\\Fenwick.INI");
        DeleteFileA(path);
    }

    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data)
    {
        return DS_Entry(&host, dg, dat, msg, data);
    }

    TW_UINT16 Condition()
    {
        TW_STATUS status = {};
        Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }

    TW_UINT16 Enable(bool showUI = false)
    {
        TW_USERINTERFACE ui = {};
        ui.ShowUI = showUI;
        ui.hParent = window;
        return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }

    // Messages waiting for the host window, removed from the queue.
    std::vector<MSG> TakeMessages()
    {
        std::vector<MSG> taken;
        MSG msg;
        while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
            if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST)
                taken.push_back(msg);
        return taken;
    }

    TraceRecorder recorder;
    TestDriverModule driver{"full"};
    TW_IDENTITY host = {};
    HWND window = nullptr;
};
