// The Language page: one picture per interface language; a click on one ends the
// settings window with that language.
#pragma once

#include "ui/settings_page.h"

enum { FLAG_COUNT = 8 };

class LanguagePage : public SettingsPage {
public:
    explicit LanguagePage(SettingsSheet* sheet);
    ~LanguagePage() override;

    // 1210 + n for the clicked flag n; before any click, the current language,
    // so that an accept without a choice keeps what is in force.
    int ChosenLanguageId() const;

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void InitPage();
    int FlagAt(POINT point) const;
    void DrawOutline(HDC dc, int n, COLORREF colour) const;
    void OnMouseMove(POINT point);

    RECT flags_[FLAG_COUNT] = {};
    HBITMAP pictures_[FLAG_COUNT + 1] = {};   // the flags, then the map
    int highlighted_ = -1;
    int chosenPlusOne_ = -1;
    HCURSOR arrow_ = nullptr;
    HCURSOR hand_ = nullptr;
};

// Draws the picture of flag n (0..7) or, for n = FLAG_COUNT, the world map, as a
// bitmap of width x height pixels. The caller owns the bitmap.
HBITMAP DrawLanguagePicture(int n, int width, int height);
