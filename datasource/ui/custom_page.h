// The Custom Setting page: image type, resolution, inversion, brightness and
// contrast of the live ScanSettings record, two read-outs, the paper sensor
// status line and the Reset, Calibrate, Scan and Cancel buttons.
#pragma once

#include "ui/preview_frame.h"
#include "ui/settings_page.h"

class CustomSettingPage : public SettingsPage {
public:
    explicit CustomSettingPage(SettingsSheet* sheet);

    void RefreshControls();        // record -> controls
    void CopyControlsToRecord();   // controls -> record
    void RefreshDiskSpace();
    void UpdateImageSize();

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void InitPage();
    void FillResolutionList();
    void ShowStoredResolution();
    int ResolutionAt(int position) const;
    void OnCommand(int id, int code);
    void OnSlider(HWND slider);
    void OnResolutionChanged();
    void OnResolutionFocusLost();
    void OnReset();
    void OnScan();
    void ShowValueText(int id, int value);
    void ShowStatus();

    short maximumResolution_ = 200;
    PreviewFrame frame_;
};
