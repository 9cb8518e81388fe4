#include "acquire.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include "bmp_output.h"
#include "image_output.h"

namespace {

const char kHostWindowClass[] = "TwscanHostWindow";
const UINT_PTR kTimeoutTimer = 1;

TW_FIX32 ToFix32(double value)
{
    TW_INT32 raw = static_cast<TW_INT32>(value * 65536.0 + (value < 0 ? -0.5 : 0.5));
    TW_FIX32 fix;
    fix.Whole = static_cast<TW_INT16>(raw >> 16);
    fix.Frac = static_cast<TW_UINT16>(raw & 0xFFFF);
    return fix;
}

class Acquisition {
public:
    Acquisition(const ScanOptions& options, SourceLink* link) : options_(options), link_(link) {}

    AcquireReport Run()
    {
        window_ = CreateHostWindow();
        if (!window_)
            return Fail("cannot create the host window");
        std::string error;
        if (!link_->Open(window_, &error)) {
            report_.error = error;
            DestroyWindow(window_);
            return report_;
        }
        Log("source \"%s\" open", link_->SourceIdentity().ProductName);
        if (Negotiate() && Enable())
            AcquireSheets();
        Finish();
        return report_;
    }

private:
    HWND CreateHostWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kHostWindowClass;
        RegisterClassA(&wc);  // a second registration in the same process fails harmlessly
        return CreateWindowA(kHostWindowClass, "twscan", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 320, 200, nullptr, nullptr, wc.hInstance, nullptr);
    }

    void Log(const char* format, ...)
    {
        char line[512];
        va_list args;
        va_start(args, format);
        vsnprintf(line, sizeof(line), format, args);
        va_end(args);
        report_.log.push_back(line);
        if (!options_.quiet)
            printf("twscan: %s\n", line);
    }

    AcquireReport& Fail(const std::string& what)
    {
        if (report_.error.empty())
            report_.error = what;
        return report_;
    }

    // Sends a triplet; on failure records the result and condition codes.
    bool Send(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data, const char* what,
              TW_UINT16* result = nullptr)
    {
        TW_UINT16 rc = link_->Call(dg, dat, msg, data);
        if (result)
            *result = rc;
        report_.lastResult = rc;
        if (rc == TWRC_FAILURE || rc == TWRC_CHECKSTATUS) {
            report_.lastCondition = link_->ConditionCode();
            char text[256];
            snprintf(text, sizeof(text), "%s failed: TWRC %u, TWCC %u", what, rc,
                     report_.lastCondition);
            if (rc == TWRC_FAILURE) {
                Fail(text);
                return false;
            }
            Log("%s", text);
        }
        return true;
    }

    bool SetOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item, const char* what)
    {
        TW_CAPABILITY capability = {cap, TWON_ONEVALUE, nullptr};
        capability.hContainer = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
        if (!capability.hContainer)
            return false;
        auto* one = static_cast<pTW_ONEVALUE>(GlobalLock(capability.hContainer));
        one->ItemType = itemType;
        one->Item = item;
        GlobalUnlock(capability.hContainer);
        bool ok = Send(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability, what);
        GlobalFree(capability.hContainer);
        return ok;
    }

    bool Negotiate()
    {
        static const TW_UINT16 kMechanisms[] = {TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY};
        const TW_UINT16 mech = kMechanisms[static_cast<int>(options_.mechanism)];
        if (!SetOneValue(ICAP_XFERMECH, TWTY_UINT16, mech, "setting the transfer mechanism"))
            return false;
        if (!SetOneValue(CAP_INDICATORS, TWTY_BOOL, options_.showIndicators ? 1 : 0,
                         "setting the progress indicators"))
            return false;
        if (options_.pixelType >= 0 &&
            !SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, options_.pixelType, "setting the pixel type"))
            return false;
        if (options_.resolution > 0) {
            TW_FIX32 dpi = ToFix32(options_.resolution);
            TW_UINT32 item;
            memcpy(&item, &dpi, sizeof(item));
            if (!SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, item, "setting the resolution"))
                return false;
        }
        if (options_.setLayout) {
            TW_IMAGELAYOUT layout = {};
            layout.Frame.Left = ToFix32(options_.left);
            layout.Frame.Top = ToFix32(options_.top);
            layout.Frame.Right = ToFix32(options_.right);
            layout.Frame.Bottom = ToFix32(options_.bottom);
            layout.DocumentNumber = layout.PageNumber = layout.FrameNumber = 1;
            if (!Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout, "setting the image layout"))
                return false;
        }
        Log("capabilities negotiated");
        return true;
    }

    bool Enable()
    {
        TW_USERINTERFACE ui = {};
        ui.ShowUI = options_.showUI ? 1 : 0;
        ui.hParent = window_;
        if (!Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui, "enabling the source"))
            return false;
        enabled_ = true;
        Log("source enabled");
        return true;
    }

    // Waits in the message loop for the source's transfer-ready event; false when the
    // source asked to be closed instead or nothing came in time.
    bool WaitForTransferReady()
    {
        SetTimer(window_, kTimeoutTimer, options_.timeoutSeconds * 1000u, nullptr);
        MSG msg;
        bool ready = false, done = false;
        while (!done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == window_ && msg.message == WM_TIMER && msg.wParam == kTimeoutTimer) {
                Fail("no image arrived in time");
                break;
            }
            TW_EVENT event = {&msg, MSG_NULL};
            if (link_->Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT) {
                if (event.TWMessage == MSG_XFERREADY) {
                    Log("transfer ready");
                    ready = done = true;
                } else if (event.TWMessage == MSG_CLOSEDSREQ) {
                    report_.closeRequested = true;
                    Fail("the source asked to be closed before an image was ready");
                    done = true;
                }
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        KillTimer(window_, kTimeoutTimer);
        return ready;
    }

    // One transfer per sheet. When the source ends its transfers before enough
    // sheets are in, it is disabled and enabled again for the next sheet.
    void AcquireSheets()
    {
        int sheet = 1;
        for (;;) {
            if (!WaitForTransferReady())
                return;
            for (;;) {
                output_ = SheetFileName(options_, sheet);
                Transfer();
                if (report_.sheetsWritten < sheet || !EndTransfer() || sheet >= options_.count)
                    return;
                ++sheet;
                if (report_.pendingAfterEnd == 0)
                    break;
            }
            if (!Disable() || !Enable())
                return;
        }
    }

    bool Disable()
    {
        enabled_ = false;
        ended_ = false;
        TW_USERINTERFACE ui = {};
        ui.hParent = window_;
        return Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui, "disabling the source");
    }

    void Transfer()
    {
        TW_IMAGEINFO& info = report_.info;
        if (!Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info, "asking the image information"))
            return;
        Log("image %d x %d, %d bits per pixel, %d dpi", info.ImageWidth, info.ImageLength,
            info.BitsPerPixel, info.XResolution.Whole);
        endPending_ = true;
        switch (options_.mechanism) {
        case XferMechanism::Native: NativeTransfer(); break;
        case XferMechanism::File: FileTransfer(); break;
        case XferMechanism::Memory: MemoryTransfer(); break;
        }
    }

    void Written(const std::string& path, const char* detail = "")
    {
        report_.imageWritten = true;
        ++report_.sheetsWritten;
        Log("wrote %s%s", path.c_str(), detail);
    }

    bool EndTransfer()
    {
        endPending_ = false;
        TW_PENDINGXFERS pending = {};
        if (!Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending, "ending the transfer"))
            return false;
        ended_ = true;
        report_.pendingAfterEnd = static_cast<TW_INT16>(pending.Count);
        return true;
    }

    void NativeTransfer()
    {
        TW_HANDLE image = nullptr;  // pointer-sized: the 32-bit handle on 32-bit Windows
        TW_UINT16 rc;
        if (!Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image, "the native transfer", &rc))
            return;
        if (rc != TWRC_XFERDONE) {
            Fail(rc == TWRC_CANCEL ? "the transfer was cancelled" : "the native transfer ended oddly");
            return;
        }
        const void* dib = GlobalLock(image);
        std::string error;
        if (dib && WriteImageFile(output_, dib, GlobalSize(image), report_.info.XResolution.Whole,
                                  &error)) {
            Written(output_);
        } else {
            Fail(dib ? error : "the native transfer gave no usable memory block");
        }
        if (dib)
            GlobalUnlock(image);
        GlobalFree(image);
    }

    // The source writes a BMP file; for PNG or TIFF it goes to a temporary name
    // and is converted from there.
    void FileTransfer()
    {
        const bool convert = FormatForName(output_) != ImageFormat::Bmp;
        const std::string target = convert ? output_ + ".scan.bmp" : output_;
        TW_SETUPFILEXFER setup = {};
        char full[MAX_PATH];
        if (!GetFullPathNameA(target.c_str(), MAX_PATH, full, nullptr) ||
            strlen(full) >= sizeof(setup.FileName)) {
            Fail("the output path is too long for a file transfer");
            return;
        }
        strcpy(setup.FileName, full);
        setup.Format = TWFF_BMP;
        if (!Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup, "setting up the file transfer"))
            return;
        TW_UINT16 rc;
        if (!Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr, "the file transfer", &rc))
            return;
        if (rc != TWRC_XFERDONE) {
            Fail(rc == TWRC_CANCEL ? "the transfer was cancelled" : "the file transfer ended oddly");
            return;
        }
        if (GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) {
            Fail("the source reported a file it did not write");
            return;
        }
        if (!convert) {
            Written(full);
            return;
        }
        std::string error;
        std::vector<uint8_t> file;
        if (ReadWholeFile(full, &file, &error) && file.size() > sizeof(BITMAPFILEHEADER) &&
            WriteImageFile(output_, file.data() + sizeof(BITMAPFILEHEADER),
                           file.size() - sizeof(BITMAPFILEHEADER), report_.info.XResolution.Whole,
                           &error))
            Written(output_);
        else
            Fail(error.empty() ? "the source's file holds no bitmap" : error);
        DeleteFileA(full);
    }

    static bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes, std::string* error)
    {
        FILE* file = fopen(path, "rb");
        if (!file) {
            *error = std::string("cannot read ") + path;
            return false;
        }
        uint8_t chunk[65536];
        size_t got;
        while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0)
            bytes->insert(bytes->end(), chunk, chunk + got);
        fclose(file);
        return true;
    }

    void MemoryTransfer()
    {
        TW_SETUPMEMXFER sizes = {};
        if (!Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes, "asking the buffer sizes"))
            return;
        std::vector<uint8_t> buffer(sizes.Preferred ? sizes.Preferred : sizes.MinBufSize);
        std::vector<uint8_t> rows;
        size_t bytesPerRow = 0;
        int columns = 0, totalRows = 0;
        for (;;) {
            TW_IMAGEMEMXFER strip = {};
            strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
            strip.Memory.Length = static_cast<TW_UINT32>(buffer.size());
            strip.Memory.TheMem = buffer.data();
            TW_UINT16 rc;
            if (!Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip, "the memory transfer", &rc))
                return;
            if (rc == TWRC_CANCEL) {
                Fail("the transfer was cancelled");
                return;
            }
            if (strip.Rows > 0) {
                if (bytesPerRow == 0) {
                    bytesPerRow = strip.BytesPerRow;
                    columns = static_cast<int>(strip.Columns);
                }
                const size_t end = (size_t(strip.YOffset) + strip.Rows) * bytesPerRow;
                const size_t bytes = size_t(strip.Rows) * bytesPerRow;
                if (strip.BytesPerRow != bytesPerRow || bytes > buffer.size()) {
                    Fail("the source changed the row length within an image");
                    return;
                }
                if (rows.size() < end)
                    rows.resize(end);
                memcpy(&rows[size_t(strip.YOffset) * bytesPerRow], buffer.data(), bytes);
                totalRows = std::max<int>(totalRows, strip.YOffset + strip.Rows);
                ++report_.strips;
                if (!options_.quiet)
                    printf("twscan: strip %d, rows %u..%u\n", report_.strips, strip.YOffset,
                           strip.YOffset + strip.Rows - 1);
            }
            if (rc == TWRC_XFERDONE)
                break;
        }
        std::string error;
        std::vector<uint8_t> dib;
        char detail[32];
        snprintf(detail, sizeof(detail), " (%d strips)", report_.strips);
        if (PackRowsAsDib(columns, totalRows, report_.info.BitsPerPixel, rows, bytesPerRow,
                          report_.info.XResolution.Whole, &dib, &error) &&
            WriteImageFile(output_, dib.data(), dib.size(), report_.info.XResolution.Whole, &error))
            Written(output_, detail);
        else
            Fail(error);
    }

    void Finish()
    {
        if (endPending_)
            EndTransfer();
        if (ended_ && report_.pendingAfterEnd != 0) {
            TW_PENDINGXFERS pending = {};
            Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending, "dropping the remaining transfers");
        }
        if (enabled_)
            Disable();
        link_->Close();
        Log("source closed");
        DestroyWindow(window_);
        window_ = nullptr;
    }

    const ScanOptions& options_;
    SourceLink* link_;
    HWND window_ = nullptr;
    bool enabled_ = false;
    bool endPending_ = false;   // a transfer began and MSG_ENDXFER is still owed
    bool ended_ = false;
    std::string output_;        // the file of the sheet being transferred
    AcquireReport report_;
};

}  // namespace

std::string SheetFileName(const ScanOptions& options, int sheet)
{
    const std::string& path = options.outputPath;
    if (!options.numbered)
        return path;
    const size_t slash = path.find_last_of("\\/");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = path.size();
    char number[16];
    snprintf(number, sizeof(number), "-%03d", sheet);
    return path.substr(0, dot) + number + path.substr(dot);
}

AcquireReport AcquireOnePage(const ScanOptions& options, SourceLink* link)
{
    return Acquisition(options, link).Run();
}
