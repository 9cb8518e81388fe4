// A careless host: drives kestrel.ds through DS_Entry with random triplets,
// interleaved with the valid sequences that reach the later states (open, enable
// without the settings window, transfers by the three mechanisms). The source
// must neither crash nor hang; every page the driver opened must be closed, and
// the global blocks and window objects must come back to their count after the
// first open.
//
//   random_host.exe [seed] [calls]      (defaults: seed 1, 100000 calls)
//
// What "careless" covers: NULL for every pointer; handles that are not global
// blocks (small integers, a window handle, a plain buffer); global blocks that
// are too small for their container; wrong container types; values outside the
// ranges (groups, types, messages, capabilities, item types, frames, buffer
// sizes, file names). A random non-NULL address where a structure belongs is not
// covered: no source can survive it without structured exception handling, and a
// host that passes one has crashed already. Buffers passed as pointers are
// therefore as long as the host says.
#include <windows.h>

#include <atomic>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <thread>

#include "global_block_ledger.h"
#include "support/dialog_dismisser.h"
#include "testdriver/test_driver_control.h"
#include "twain/twain.h"

namespace {

// ---- reproducible randomness --------------------------------------------------
struct Random {
    uint64_t state;
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 11);
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
    bool Chance(int percent) { return Below(100) < static_cast<uint32_t>(percent); }
    template <typename T, size_t N>
    T Pick(const T (&items)[N]) { return items[Below(N)]; }
};

const TW_UINT16 kDats[] = {DAT_NULL, DAT_CAPABILITY, DAT_EVENT, DAT_IDENTITY, DAT_PARENT,
                           DAT_PENDINGXFERS, DAT_SETUPMEMXFER, DAT_SETUPFILEXFER, DAT_STATUS,
                           DAT_USERINTERFACE, DAT_XFERGROUP, DAT_IMAGEINFO, DAT_IMAGELAYOUT,
                           DAT_IMAGEMEMXFER, DAT_IMAGENATIVEXFER, DAT_IMAGEFILEXFER,
                           DAT_CIECOLOR, DAT_GRAYRESPONSE, DAT_RGBRESPONSE,
                           DAT_JPEGCOMPRESSION, DAT_PALETTE8};
const TW_UINT16 kMsgs[] = {MSG_NULL, MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_GETFIRST,
                           MSG_GETNEXT, MSG_SET, MSG_RESET, MSG_QUERYSUPPORT, MSG_XFERREADY,
                           MSG_CLOSEDSREQ, MSG_CLOSEDSOK, MSG_OPENDSM, MSG_CLOSEDSM, MSG_OPENDS,
                           MSG_CLOSEDS, MSG_USERSELECT, MSG_DISABLEDS, MSG_ENABLEDS,
                           MSG_ENABLEDSUIONLY, MSG_PROCESSEVENT, MSG_ENDXFER};
const TW_UINT16 kCaps[] = {CAP_XFERCOUNT, ICAP_COMPRESSION, ICAP_PIXELTYPE, ICAP_UNITS,
                           ICAP_XFERMECH, CAP_FEEDERENABLED, CAP_FEEDERLOADED,
                           CAP_SUPPORTEDCAPS, CAP_AUTOFEED, CAP_INDICATORS, CAP_UICONTROLLABLE,
                           CAP_DEVICEONLINE, ICAP_BRIGHTNESS, ICAP_CONTRAST,
                           ICAP_IMAGEFILEFORMAT, ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT,
                           ICAP_XRESOLUTION, ICAP_YRESOLUTION, ICAP_BITORDER, ICAP_PIXELFLAVOR,
                           ICAP_PLANARCHUNKY, ICAP_BITDEPTH, 0x0000, 0x8001, 0xFFFF};
const TW_UINT16 kConTypes[] = {TWON_ARRAY, TWON_ENUMERATION, TWON_ONEVALUE, TWON_RANGE, 0, 7,
                               0xFFFF};

// ---- what the run saw ---------------------------------------------------------
struct Figures {
    long calls = 0;
    long byResult[9] = {};
    long transfers[3] = {};   // completed images by mechanism (native, file, memory)
    long strips = 0;
    long pageFaults = 0;      // a close or disable with a driver page still open
    long hostBlocks = 0;      // blocks the host handed in
};

Figures g_figures;
uint32_t g_seed = 1;
std::atomic<ULONGLONG> g_callStarted{0};
std::atomic<long> g_callIndex{0};
TW_UINT32 g_dg;
TW_UINT16 g_dat, g_msg;

DSENTRYPROC g_entry;
TestDriverControl* g_driver;
TW_IDENTITY g_host;
HWND g_window;

void PrintCall(const char* what)
{
    printf("%s at call %ld (seed %u): DG 0x%lx DAT 0x%04x MSG 0x%04x\n", what, g_callIndex.load(),
           g_seed, static_cast<unsigned long>(g_dg), g_dat, g_msg);
    fflush(stdout);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info)
{
    printf("CRASH: exception 0x%08lx at %p\n",
           static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
           info->ExceptionRecord->ExceptionAddress);
    PrintCall("crash");
    return EXCEPTION_EXECUTE_HANDLER;
}

void Watchdog()
{
    for (;;) {
        Sleep(500);
        const ULONGLONG started = g_callStarted.load();
        if (started && GetTickCount64() - started > 30000) {
            PrintCall("HANG: no answer for 30 s");
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
}

TW_UINT16 Call(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data)
{
    g_dg = dg, g_dat = dat, g_msg = msg;
    g_callStarted = GetTickCount64();
    const TW_UINT16 rc = g_entry(origin, dg, dat, msg, data);
    g_callStarted = 0;
    ++g_callIndex;
    ++g_figures.calls;
    ++g_figures.byResult[rc < 8 ? rc : 8];
    // Whatever state the source believed it was in, a closed or disabled source
    // has no page of the driver open.
    if (dg == DG_CONTROL && ((dat == DAT_IDENTITY && msg == MSG_CLOSEDS) ||
                             (dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS))) {
        if (g_driver->pagesStarted != g_driver->pagesEnded) {
            if (++g_figures.pageFaults <= 5)
                PrintCall("PAGE LEFT OPEN");
            g_driver->pagesEnded = g_driver->pagesStarted;  // report each fault once
        }
    }
    return rc;
}

TW_UINT16 Good(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data)
{
    return Call(&g_host, dg, dat, msg, data);
}

// ---- the host's blocks --------------------------------------------------------
// Blocks the host allocated for one call, freed after it.
struct HostBlocks {
    HGLOBAL items[4] = {};
    int count = 0;
    HGLOBAL Alloc(SIZE_T bytes, const void* content, size_t contentBytes)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes ? bytes : 1);
        if (!block)
            return nullptr;
        if (void* p = GlobalLock(block)) {
            memcpy(p, content, contentBytes < bytes ? contentBytes : bytes);
            GlobalUnlock(block);
        }
        items[count++] = block;
        ++g_figures.hostBlocks;
        return block;
    }
    bool Owns(HGLOBAL block) const
    {
        for (int i = 0; i < count; ++i)
            if (items[i] == block)
                return true;
        return false;
    }
    ~HostBlocks()
    {
        for (int i = 0; i < count; ++i)
            GlobalFree(items[i]);
    }
};

alignas(16) unsigned char g_plainBuffer[4096];

// A handle where a careless host might have one: NULL, not a global block at all,
// a block too small for anything, or a block holding `content`.
HANDLE CarelessHandle(Random& r, HostBlocks& blocks, const void* content, size_t bytes)
{
    switch (r.Below(8)) {
    case 0: return nullptr;
    case 1: return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(1 + r.Below(0x40)));
    case 2: return g_window;  // a window, not memory
    case 3: return g_plainBuffer;  // memory, but not a global block
    case 4: return blocks.Alloc(1 + r.Below(6), content, bytes);  // too small
    default: return blocks.Alloc(bytes + r.Below(3) * 8, content, bytes);
    }
}

TW_UINT32 RandomItem(Random& r)
{
    static const TW_UINT32 items[] = {0, 1, 2, 8, 24, 50, 100, 300, 600, 0xFFFF, 0x7FFF,
                                      0x8000, 0xFFFFFFFF, 0x00000258 /* 600.0 */};
    return r.Chance(70) ? r.Pick(items) : r.Next();
}

void FillContainer(Random& r, TW_UINT16 conType, unsigned char* out, size_t* bytes)
{
    const TW_UINT16 itemType = static_cast<TW_UINT16>(r.Chance(85) ? r.Below(TWTY_FRAME + 1)
                                                                   : r.Next());
    if (conType == TWON_ENUMERATION || (conType == TWON_ARRAY && r.Chance(50))) {
        TW_ENUMERATION e = {};
        e.ItemType = itemType;
        e.NumItems = r.Chance(80) ? r.Below(5) : r.Next();
        e.CurrentIndex = r.Below(6);
        e.DefaultIndex = r.Below(6);
        memcpy(out, &e, sizeof(e));
        const size_t head = offsetof(TW_ENUMERATION, ItemList);
        for (int i = 0; i < 16; ++i)
            out[head + i] = static_cast<unsigned char>(r.Pick((const unsigned char[]){0, 1, 2, 8, 24, 0xFF}));
        *bytes = head + r.Below(17);
        return;
    }
    if (conType == TWON_RANGE) {
        TW_RANGE range = {};
        range.ItemType = itemType;
        range.MinValue = RandomItem(r);
        range.MaxValue = RandomItem(r);
        range.StepSize = RandomItem(r);
        range.DefaultValue = RandomItem(r);
        range.CurrentValue = RandomItem(r);
        memcpy(out, &range, sizeof(range));
        *bytes = sizeof(range);
        return;
    }
    TW_ONEVALUE one = {};
    one.ItemType = itemType;
    one.Item = RandomItem(r);
    memcpy(out, &one, sizeof(one));
    *bytes = sizeof(one);
}

TW_FIX32 RandomFix(Random& r)
{
    static const double values[] = {-1, 0, 0.5, 1, 2.2, 3.6, 3.61, 100, 327.67, -327.68};
    TW_FIX32 fix;
    if (r.Chance(80)) {
        const double v = r.Pick(values);
        const int32_t scaled = static_cast<int32_t>(v * 65536.0);
        fix.Whole = static_cast<TW_INT16>(scaled >> 16);
        fix.Frac = static_cast<TW_UINT16>(scaled & 0xFFFF);
    } else {
        fix.Whole = static_cast<TW_INT16>(r.Next());
        fix.Frac = static_cast<TW_UINT16>(r.Next());
    }
    return fix;
}

const char* RandomFileName(Random& r)
{
    static char longName[260];
    memset(longName, 'A', sizeof longName);  // no terminator inside the field
    static const char* names[] = {"scan.bmp", "", "no\\such\\folder\\x.bmp", "a folder",
                                  "read-only.bmp", "CON", "bad<>|name.bmp"};
    return r.Chance(10) ? longName : r.Pick(names);
}

// Fills the host's structure for (dat, msg) the way a careless host would. The
// buffer is always as large as the structure.
void CarelessData(Random& r, TW_UINT16 dat, unsigned char* data, size_t size, HostBlocks& blocks,
                  MSG* event, unsigned char* memory, size_t memorySize)
{
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<unsigned char>(r.Chance(50) ? 0 : r.Next());
    switch (dat) {
    case DAT_CAPABILITY: {
        auto* cap = reinterpret_cast<TW_CAPABILITY*>(data);
        cap->Cap = r.Chance(90) ? r.Pick(kCaps) : static_cast<TW_UINT16>(r.Next());
        cap->ConType = r.Pick(kConTypes);
        unsigned char content[64] = {};
        size_t bytes = 0;
        FillContainer(r, r.Chance(80) ? cap->ConType : r.Pick(kConTypes), content, &bytes);
        cap->hContainer = CarelessHandle(r, blocks, content, bytes);
        break;
    }
    case DAT_EVENT: {
        auto* e = reinterpret_cast<TW_EVENT*>(data);
        static const UINT numbers[] = {0, WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_PAINT, 0xFFFF};
        *event = MSG{};
        event->message = r.Pick(numbers);
        e->pEvent = r.Chance(80) ? event : nullptr;
        break;
    }
    case DAT_IDENTITY:
        if (r.Chance(60))
            strcpy(reinterpret_cast<TW_IDENTITY*>(data)->ProductName, "Zureruri Zedu");
        break;
    case DAT_USERINTERFACE: {
        auto* ui = reinterpret_cast<TW_USERINTERFACE*>(data);
        ui->ShowUI = FALSE;  // the settings window is the user's, not a random host's
        static const uintptr_t bogus[] = {0, 0x12345, 0xFFFFFFFF};
        ui->hParent = r.Chance(70) ? g_window : reinterpret_cast<HWND>(r.Pick(bogus));
        break;
    }
    case DAT_SETUPFILEXFER: {
        auto* setup = reinterpret_cast<TW_SETUPFILEXFER*>(data);
        const char* name = RandomFileName(r);
        memset(setup->FileName, 0, sizeof setup->FileName);
        memcpy(setup->FileName, name, strnlen(name, sizeof setup->FileName));
        setup->Format = r.Chance(70) ? TWFF_BMP : static_cast<TW_UINT16>(r.Below(20));
        break;
    }
    case DAT_IMAGELAYOUT: {
        auto* layout = reinterpret_cast<TW_IMAGELAYOUT*>(data);
        layout->Frame.Left = RandomFix(r);
        layout->Frame.Top = RandomFix(r);
        layout->Frame.Right = RandomFix(r);
        layout->Frame.Bottom = RandomFix(r);
        break;
    }
    case DAT_IMAGEMEMXFER: {
        auto* xfer = reinterpret_cast<TW_IMAGEMEMXFER*>(data);
        static const TW_UINT32 lengths[] = {0, 1, 100, 4000, 64000, 200000, 2000000};
        TW_UINT32 length = r.Pick(lengths);
        if (length > memorySize)
            length = static_cast<TW_UINT32>(memorySize);
        xfer->Memory.Length = length;
        if (r.Chance(50)) {
            xfer->Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
            xfer->Memory.TheMem = r.Chance(90) ? memory : nullptr;
        } else {
            xfer->Memory.Flags = TWMF_APPOWNS | TWMF_HANDLE;
            // A block that may be smaller than the length claimed, or no block at all.
            xfer->Memory.TheMem = CarelessHandle(r, blocks, "", 0);
            if (r.Chance(60) && blocks.count < 4)
                xfer->Memory.TheMem = blocks.Alloc(r.Chance(50) ? length : length / 2, "", 0);
        }
        break;
    }
    default:
        break;
    }
}

// ---- the run ------------------------------------------------------------------
enum Belief { Closed = 3, Open = 4, Enabled = 5, Ready = 6 };

struct Host {
    Random r;
    Belief belief = Closed;
    int mech = TWSX_MEMORY;
    unsigned char* memory = nullptr;   // the host's strip buffer
    size_t memorySize = 0;

    // Frees what the source handed over in `data` after a call.
    void TakeResults(TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 rc, void* data, const HostBlocks& blocks)
    {
        if (!data)
            return;
        if (dat == DAT_CAPABILITY && rc == TWRC_SUCCESS &&
            (msg == MSG_GET || msg == MSG_GETCURRENT || msg == MSG_GETDEFAULT)) {
            HGLOBAL handed = static_cast<TW_CAPABILITY*>(data)->hContainer;
            if (handed && !blocks.Owns(handed) && handed != g_window && handed != g_plainBuffer &&
                reinterpret_cast<uintptr_t>(handed) > 0x40)
                ledger::HostFrees(handed);
        }
        if (dat == DAT_IMAGENATIVEXFER && rc == TWRC_XFERDONE) {
            ledger::HostFrees(*static_cast<HGLOBAL*>(data));
            ++g_figures.transfers[TWSX_NATIVE];
        }
    }

    void Track(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 rc)
    {
        if (dg != DG_CONTROL)
            return;
        if (dat == DAT_IDENTITY && msg == MSG_OPENDS && rc == TWRC_SUCCESS)
            belief = Open;
        if (dat == DAT_IDENTITY && msg == MSG_CLOSEDS)
            belief = Closed;
        if (dat == DAT_USERINTERFACE && msg == MSG_ENABLEDS && rc == TWRC_SUCCESS)
            belief = Enabled;
        if (dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS && rc == TWRC_SUCCESS)
            belief = Open;
    }

    void RandomCall()
    {
        TW_UINT32 dg;
        const uint32_t g = r.Below(100);
        if (g < 45)
            dg = DG_CONTROL;
        else if (g < 90)
            dg = DG_IMAGE;
        else
            dg = r.Pick((const TW_UINT32[]){0, 4, 0x8000, 0xFFFFFFFF, DG_CONTROL | DG_IMAGE});
        const TW_UINT16 dat = r.Chance(95) ? r.Pick(kDats) : static_cast<TW_UINT16>(r.Next());
        const TW_UINT16 msg = r.Chance(95) ? r.Pick(kMsgs) : static_cast<TW_UINT16>(r.Next());
        alignas(16) unsigned char data[1024];
        HostBlocks blocks;
        MSG event;
        CarelessData(r, dat, data, sizeof data, blocks, &event, memory, memorySize);
        TW_IDENTITY origin;
        memcpy(&origin, data + 512, sizeof origin);
        pTW_IDENTITY from = r.Chance(90) ? &g_host : r.Chance(50) ? nullptr : &origin;
        void* pData = r.Chance(8) ? nullptr : data;
        const TW_UINT16 rc = Call(from, dg, dat, msg, pData);
        TakeResults(dat, msg, rc, pData, blocks);
        Track(dg, dat, msg, rc);
    }

    void PumpEvents()
    {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TW_EVENT e = {&m, MSG_NULL};
            if (Good(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &e) == TWRC_DSEVENT) {
                if (e.TWMessage == MSG_XFERREADY)
                    belief = Ready;
                if (e.TWMessage == MSG_CLOSEDSREQ) {
                    TW_USERINTERFACE ui = {FALSE, FALSE, g_window};
                    Track(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS,
                          Good(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
                }
            } else {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
        }
    }

    void SetOne(TW_UINT16 capability, TW_UINT16 itemType, TW_UINT32 item)
    {
        TW_ONEVALUE one = {itemType, item};
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof one);
        memcpy(GlobalLock(block), &one, sizeof one);
        GlobalUnlock(block);
        TW_CAPABILITY cap = {capability, TWON_ONEVALUE, block};
        Good(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
        GlobalFree(block);
    }

    // A few settings a real host makes before enabling; small pages keep the run fast.
    void Configure()
    {
        mech = r.Pick((const int[]){TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY});
        SetOne(ICAP_XFERMECH, TWTY_UINT16, static_cast<TW_UINT32>(mech));
        SetOne(ICAP_PIXELTYPE, TWTY_UINT16, r.Below(3));
        SetOne(ICAP_XRESOLUTION, TWTY_FIX32, r.Pick((const TW_UINT32[]){50, 75, 100, 150}));
        SetOne(CAP_INDICATORS, TWTY_BOOL, r.Chance(20));
        TW_IMAGELAYOUT layout = {};
        layout.Frame.Right.Whole = static_cast<TW_INT16>(r.Below(3));
        layout.Frame.Right.Frac = static_cast<TW_UINT16>(r.Next());
        layout.Frame.Bottom.Whole = static_cast<TW_INT16>(r.Below(4));
        layout.Frame.Bottom.Frac = static_cast<TW_UINT16>(r.Next());
        Good(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
        // and asks what it got, freeing each container handed over
        for (int i = 0; i < 3; ++i) {
            TW_CAPABILITY cap = {r.Pick(kCaps), static_cast<TW_UINT16>(0xFFFF), nullptr};
            const TW_UINT16 msg = r.Pick((const TW_UINT16[]){MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT});
            TakeResults(DAT_CAPABILITY, msg, Good(DG_CONTROL, DAT_CAPABILITY, msg, &cap), &cap,
                        HostBlocks{});
        }
    }

    // Now and then the driver misbehaves for one scan.
    void DriverMood()
    {
        *g_driver = [] {
            TestDriverControl keep = *g_driver;
            keep.startScan = 1;
            keep.pageWidth = keep.pageHeight = 0;
            keep.linesAvailable = keep.failAtLine = -1;
            keep.overCount = 0;
            return keep;
        }();
        if (!r.Chance(5))
            return;
        switch (r.Below(5)) {
        case 0: g_driver->startScan = r.Pick((const int[]){0, -1, -2, 7}); break;
        case 1: g_driver->pageWidth = -1, g_driver->pageHeight = r.Chance(50) ? -1 : 30000; break;
        case 2: g_driver->linesAvailable = static_cast<int>(r.Below(40)); break;
        case 3: g_driver->failAtLine = static_cast<int>(r.Below(40)); break;
        default: g_driver->overCount = static_cast<short>(1 + r.Below(3)); break;
        }
    }

    void Transfer()
    {
        TW_UINT16 rc = TWRC_FAILURE;
        if (mech == TWSX_NATIVE) {
            TW_HANDLE image = nullptr;
            rc = Good(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image);
            TakeResults(DAT_IMAGENATIVEXFER, MSG_GET, rc, &image, HostBlocks{});
        } else if (mech == TWSX_FILE) {
            TW_SETUPFILEXFER setup = {};
            const char* name = RandomFileName(r);
            memcpy(setup.FileName, name, strnlen(name, sizeof setup.FileName));
            setup.Format = TWFF_BMP;
            Good(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
            rc = Good(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
            if (rc == TWRC_XFERDONE)
                ++g_figures.transfers[TWSX_FILE];
            DeleteFileA("scan.bmp");
        } else {
            TW_SETUPMEMXFER setup = {};
            Good(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
            size_t length = setup.Preferred <= memorySize ? setup.Preferred : memorySize;
            if (r.Chance(10))
                length = r.Below(5000);
            for (int strip = 0; strip < 200; ++strip) {
                TW_IMAGEMEMXFER xfer = {};
                xfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
                xfer.Memory.Length = static_cast<TW_UINT32>(length);
                xfer.Memory.TheMem = memory;
                rc = Good(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
                ++g_figures.strips;
                if (rc != TWRC_SUCCESS)
                    break;
                if (r.Chance(3)) {  // a host may stop mid-image: give up, disable or close
                    if (r.Chance(50))
                        break;
                    TW_USERINTERFACE ui = {FALSE, FALSE, g_window};
                    const bool close = r.Chance(50);
                    const TW_UINT16 msg = close ? MSG_CLOSEDS : MSG_DISABLEDS;
                    Track(DG_CONTROL, close ? DAT_IDENTITY : DAT_USERINTERFACE, msg,
                          Good(DG_CONTROL, close ? DAT_IDENTITY : DAT_USERINTERFACE, msg,
                               close ? nullptr : &ui));
                    return;
                }
            }
            if (rc == TWRC_XFERDONE)
                ++g_figures.transfers[TWSX_MEMORY];
        }
        TW_PENDINGXFERS pending = {};
        Good(DG_CONTROL, DAT_PENDINGXFERS, r.Chance(80) ? MSG_ENDXFER : MSG_RESET, &pending);
        belief = pending.Count ? Ready : Enabled;
    }

    // One step of a valid sequence from where the host believes the source is.
    void ValidStep()
    {
        switch (belief) {
        case Closed: {
            TW_IDENTITY source = {};
            strcpy(source.ProductName, "Zureruri Zedu");
            Track(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS,
                  Good(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source));
            break;
        }
        case Open:
            if (r.Chance(5)) {
                Track(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS,
                      Good(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr));
                break;
            }
            Configure();
            DriverMood();
            {
                TW_USERINTERFACE ui = {FALSE, FALSE, g_window};
                Track(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS,
                      Good(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
            }
            PumpEvents();
            break;
        case Enabled: {
            PumpEvents();
            if (belief == Enabled && r.Chance(60)) {
                TW_USERINTERFACE ui = {FALSE, FALSE, g_window};
                Track(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS,
                      Good(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
            }
            break;
        }
        case Ready:
            Transfer();
            PumpEvents();
            break;
        }
    }

    // Back to an open, idle source the way a well-behaved host gets there.
    void SettleOpen()
    {
        TW_PENDINGXFERS pending = {};
        Good(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
        TW_USERINTERFACE ui = {FALSE, FALSE, g_window};
        Good(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        Good(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
        PumpEvents();
        TW_IDENTITY source = {};
        strcpy(source.ProductName, "Zureruri Zedu");
        belief = Good(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source) == TWRC_SUCCESS ? Open : Closed;
    }
};

// Wine answers GetGuiResources with 0 (it keeps no per-process count), so the
// windows of this thread, top-level and child, are counted as well.
struct GuiCount {
    DWORD gdi, user, windows;
};

BOOL CALLBACK CountChildWindow(HWND, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    EnumChildWindows(window, CountChildWindow, count);
    return TRUE;
}

GuiCount CountGui()
{
    GuiCount count = {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                      GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), 0};
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count.windows));
    return count;
}

void PrepareScratchFolder(const char* binFolder)
{
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\random_host_files", binFolder);
    CreateDirectoryA(path, nullptr);
    SetCurrentDirectoryA(path);
    CreateDirectoryA("a folder", nullptr);
    HANDLE f = CreateFileA("read-only.bmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_READONLY, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
}

void DeleteProfile()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
    char path[MAX_PATH];
    GetWindowsDirectoryA(path, MAX_PATH);
    strcat(path, "\\Fenwick.INI");
    DeleteFileA(path);
}

}  // namespace

int main(int argc, char** argv)
{
    g_seed = argc > 1 ? static_cast<uint32_t>(strtoul(argv[1], nullptr, 0)) : 1;
    const long calls = argc > 2 ? strtol(argv[2], nullptr, 0) : 100000;
    printf("random host: seed %u, %ld calls (rerun: random_host.exe %u %ld)\n", g_seed, calls,
           g_seed, calls);
    fflush(stdout);
    SetUnhandledExceptionFilter(OnCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    char bin[MAX_PATH];
    GetModuleFileNameA(nullptr, bin, MAX_PATH);
    *strrchr(bin, '\\') = 0;
    char modulePath[MAX_PATH];

    DeleteProfile();
    WritePrivateProfileStringA("Drivers", "Driver00", "testdrv_full.dll", "Fenwick.INI");
    // The host keeps the driver loaded, so its counts outlive the source's releases.
    snprintf(modulePath, sizeof modulePath, "%s\\testdrv_full.dll", bin);
    HMODULE driverModule = LoadLibraryA(modulePath);
    auto control = driverModule ? reinterpret_cast<TD_ControlFn>(GetProcAddress(driverModule, "TD_Control")) : nullptr;
    snprintf(modulePath, sizeof modulePath, "%s\\kestrel.ds", bin);
    HMODULE source = LoadLibraryA(modulePath);
    g_entry = source ? reinterpret_cast<DSENTRYPROC>(GetProcAddress(source, "DS_Entry")) : nullptr;
    if (!control || !g_entry) {
        printf("FAIL: testdrv_full.dll or kestrel.ds not loaded from %s\n", bin);
        return 2;
    }
    g_driver = control();
    *g_driver = TestDriverControl{};
    const int hooked = ledger::Hook(source);
    PrepareScratchFolder(bin);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "RandomHost";
    RegisterClassA(&wc);
    g_window = CreateWindowA("RandomHost", "random host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                             nullptr, nullptr, wc.hInstance, nullptr);
    strcpy(g_host.ProductName, "Random Host");
    std::thread(Watchdog).detach();
    DialogDismisser dismisser;

    Host host{{0x9E3779B97F4A7C15ull ^ g_seed}};
    host.memorySize = 2000000;
    host.memory = static_cast<unsigned char*>(malloc(host.memorySize));

    host.SettleOpen();
    if (host.belief != Open) {
        printf("FAIL: the first open was refused\n");
        return 2;
    }
    const size_t blocksAfterOpen = ledger::Live();
    const GuiCount guiAfterOpen = CountGui();
    const DWORD started = GetTickCount();

    while (g_figures.calls < calls) {
        if (host.r.Chance(30))
            host.ValidStep();
        else
            host.RandomCall();
        if (host.r.Chance(1))
            host.PumpEvents();
    }
    host.SettleOpen();
    host.PumpEvents();
    Sleep(300);  // let the dismisser close a box still open
    const size_t blocksAtEnd = ledger::Live();
    const GuiCount guiAtEnd = CountGui();
    Good(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
    const bool pagesBalanced = g_driver->pagesStarted == g_driver->pagesEnded;

    printf("calls %ld in %.1f s; results: success %ld, failure %ld, checkstatus %ld, cancel %ld, "
           "dsevent %ld, notdsevent %ld, xferdone %ld, other %ld\n",
           g_figures.calls, (GetTickCount() - started) / 1000.0, g_figures.byResult[0],
           g_figures.byResult[1], g_figures.byResult[2], g_figures.byResult[3],
           g_figures.byResult[4], g_figures.byResult[5], g_figures.byResult[6],
           g_figures.byResult[7] + g_figures.byResult[8]);
    printf("images: native %ld, file %ld, memory %ld (%ld strips); message boxes closed %zu; "
           "host blocks handed in %ld\n",
           g_figures.transfers[0], g_figures.transfers[1], g_figures.transfers[2], g_figures.strips,
           dismisser.Texts().size(), g_figures.hostBlocks);
    printf("driver pages: %d opened, %d closed; pages left open at a close or disable: %ld\n",
           g_driver->pagesStarted, g_driver->pagesEnded, g_figures.pageFaults);
    printf("kestrel global blocks: %ld allocated (%d imports counted), live after first open %zu, "
           "at end %zu\n",
           ledger::g_allocated, hooked, blocksAfterOpen, blocksAtEnd);
    printf("GDI objects after first open %lu, at end %lu; USER objects %lu, %lu; windows %lu, %lu\n",
           static_cast<unsigned long>(guiAfterOpen.gdi), static_cast<unsigned long>(guiAtEnd.gdi),
           static_cast<unsigned long>(guiAfterOpen.user), static_cast<unsigned long>(guiAtEnd.user),
           static_cast<unsigned long>(guiAfterOpen.windows), static_cast<unsigned long>(guiAtEnd.windows));

    bool ok = true;
    if (g_figures.pageFaults || !pagesBalanced) {
        printf("FAIL: driver pages left open\n");
        ok = false;
    }
    if (hooked < 2 || blocksAtEnd != blocksAfterOpen) {
        printf("FAIL: global blocks not back to their count after the first open\n");
        ok = false;
    }
    if (guiAtEnd.gdi != guiAfterOpen.gdi || guiAtEnd.user != guiAfterOpen.user ||
        guiAtEnd.windows != guiAfterOpen.windows) {
        printf("FAIL: GDI or USER objects not back to their count after the first open\n");
        ok = false;
    }
    DestroyWindow(g_window);
    FreeLibrary(source);
    FreeLibrary(driverModule);
    DeleteProfile();
    free(host.memory);
    printf(ok ? "PASS\n" : "FAIL\n");
    fflush(stdout);
    return ok ? 0 : 1;
}
