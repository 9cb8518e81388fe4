// The progress window of a page scan: a modeless dialog with the percentage and,
// when the host wants indicators, a reduced live picture of the page that grows
// upwards as its lines come in. Cancel arrives through Enter, Escape or the close
// box while update() pumps the thread's messages.
#pragma once

#include <windows.h>

#include <vector>

#include "scan/misc.h"

class ScanProgressDialog {
public:
    // Hidden for the whole session when `showPicture` is false.
    ScanProgressDialog(HWND owner, int dialogId, int mode, bool showPicture, int imageWidth,
                       int imageHeight, int linesPerBlock);
    ~ScanProgressDialog();
    ScanProgressDialog(const ScanProgressDialog&) = delete;
    ScanProgressDialog& operator=(const ScanProgressDialog&) = delete;

    // Pumps every waiting message, then shows `percent` and adds the `lines`
    // lines of `block` (the driver's bottom-up line format) to the picture.
    // 0 once the user has cancelled, 1 otherwise.
    int update(int percent, int lines, const unsigned char* block);

    HWND Window() const { return window_; }
    bool Cancelled() const { return cancelled_; }
    int PictureWidth() const { return pictureWidth_; }
    int PictureHeight() const { return pictureHeight_; }
    int LinesShown() const { return linesShown_; }
    // Top-down 24-bit picture, PictureHeight() lines of PictureLineBytes() bytes.
    const unsigned char* Picture() const { return picture_.empty() ? nullptr : picture_.data(); }
    int PictureLineBytes() const { return ((3 * pictureWidth_ + 3) / 4) * 4; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND window);
    void PreparePicture();
    void DrawPicture(const DRAWITEMSTRUCT* item);
    void PumpMessages();
    void CentreOverOwner();

    HWND owner_;
    HWND window_ = nullptr;
    int mode_;
    bool showPicture_;
    int imageWidth_, imageHeight_;
    int linesPerBlock_;
    int linesReceived_ = 0;
    int linesShown_ = 0;
    int pictureWidth_ = 0, pictureHeight_ = 0;
    std::vector<unsigned char> picture_;
    BITMAPINFOHEADER pictureHeader_ = {};
    Palette palette_;
    bool cancelled_ = false;
};
