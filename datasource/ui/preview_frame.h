// The preview frame (cpvframe): a child of the Custom Setting page that stands
// for the 2.20 x 3.60 inch scan bed, on which the user sets the scan area by
// dragging out a rectangle, moving or resizing the current one, or choosing a
// standard paper size from a pop-up menu. It draws nothing of its own.
#pragma once

#include <windows.h>

#include <stdint.h>

class CustomSettingPage;

// Scan-bed size in hundredths of an inch.
enum { BED_WIDTH = 220, BED_HEIGHT = 360 };

// Hit codes of the area outline.
enum {
    HIT_NOTHING = -1,
    HIT_TOP_LEFT = 0, HIT_TOP_RIGHT, HIT_BOTTOM_RIGHT, HIT_BOTTOM_LEFT,
    HIT_TOP, HIT_RIGHT, HIT_BOTTOM, HIT_LEFT,
    HIT_INSIDE = 8,
};
enum { HANDLE_SIZE = 6 };
enum { MINIMUM_AREA_SIZE = 50 };          // hundredths of an inch

// Hit code of `point` against `outline` (handles lie inside the outline).
int HitTestOutline(const RECT& outline, POINT point);

class PreviewFrame {
public:
    // Creates the frame as child 890 of `page` in `rect` (page pixels), beneath
    // the page's controls, with the area tool selected.
    bool Create(CustomSettingPage* owner, HWND page, const RECT& rect);

    HWND Window() const { return hwnd_; }

    // Area outline := the record's area, mapped to frame pixels.
    void SyncOutline();
    RECT Outline() const { return outline_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Place();
    void OnLeftDown(POINT point);
    void OnMouseMove(POINT point);
    void OnLeftUp(POINT point);
    void OnRightDown(POINT point);
    bool OnSetCursor();
    void StoreArea(RECT frameRect);
    void RememberArea();
    void PutRememberedAreaBack();
    void DrawTrackingRect(const RECT& rect);
    void ClipToClient(int shrinkLeft, int shrinkTop, int shrinkRight, int shrinkBottom);

    CustomSettingPage* owner_ = nullptr;
    HWND hwnd_ = nullptr;
    int width_ = 1, height_ = 1;
    RECT outline_ = {};
    int tool_ = 0;

    // Moving or resizing the outline
    int trackCode_ = HIT_NOTHING;
    POINT trackStart_ = {};
    RECT trackOrigin_ = {};
    // Dragging out a new rectangle
    bool dragging_ = false;
    POINT corner1_ = {}, corner2_ = {};
    // What the tracking rectangle shows now, if anything
    bool tracking_ = false;
    RECT shown_ = {};

    int16_t remembered_[4] = {};   // top, left, bottom, right
};
