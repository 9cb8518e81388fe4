// The Information page: what the scanner reports about itself, and the about text.
#pragma once

#include "ui/settings_page.h"

class InfoPage : public SettingsPage {
public:
    explicit InfoPage(SettingsSheet* sheet);

    // Asks the driver again and fills the model and version values.
    void Refresh();

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
