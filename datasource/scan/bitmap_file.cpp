// TBitmapFile: construction, copies, the object's own memory, Open, the
// getters, the logical palette and the bitmap section.
#include "scan/bitmap_file.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "scan/bitmap_file_alloc.h"
#include "scan/bitmap_file_internals.h"
#include "ui/message_box.h"

namespace {

constexpr WORD kTypeBM = 0x4D42;  // "BM"
constexpr WORD kTypeCH = 0x4843;  // "CH"
constexpr DWORD kCoreHeaderSize = 12;
constexpr DWORD kInfoHeaderSize = 40;
constexpr DWORD kFileHeaderSize = 14;
constexpr DWORD kReadPiece = 409600;

BitmapFileAllocFn g_alloc = nullptr;

// Copies share blocks and the bitmap object. Only shared ones are counted here
// (an address that is absent has exactly one owner), so an object that is
// never copied costs nothing. The mutex needs no constructor or destructor, so an
// object destroyed while the module shuts down still finds it; the table exists
// only while something is shared, so nothing of it outlives an unload. (No
// function-local statics: their once-guard makes the statically linked thread
// runtime keep handles for the calling thread past every unload of the module.)
std::mutex g_sharedMutex;
std::map<const void*, long>* g_sharedCounts = nullptr;

// Records one more owner; false when that cannot be recorded.
bool ShareResource(const void* key)
{
    std::lock_guard<std::mutex> lock(g_sharedMutex);
    try {
        if (!g_sharedCounts)
            g_sharedCounts = new std::map<const void*, long>;
        auto& counts = *g_sharedCounts;
        auto it = counts.find(key);
        if (it == counts.end())
            counts.emplace(key, 2);
        else
            ++it->second;
        return true;
    } catch (...) {
        return false;
    }
}

// Drops one owner; true when the caller was the last one and must free it.
bool ReleaseResource(const void* key)
{
    std::lock_guard<std::mutex> lock(g_sharedMutex);
    if (!g_sharedCounts)
        return true;
    auto& counts = *g_sharedCounts;
    auto it = counts.find(key);
    if (it == counts.end())
        return true;
    if (--it->second <= 1)
        counts.erase(it);
    if (counts.empty()) {
        delete g_sharedCounts;
        g_sharedCounts = nullptr;
    }
    return false;
}

void FreeLockedBlock(HGLOBAL block)
{
    if (!block)
        return;
    GlobalUnlock(block);
    GlobalFree(block);
}

bool ReadExactly(HANDLE file, void* buffer, DWORD bytes)
{
    DWORD got = 0;
    return ReadFile(file, buffer, bytes, &got, nullptr) && got == bytes;
}

// Share mode from the framework's open flags; false for a value it does not define.
bool ShareModeFromFlags(unsigned flags, DWORD* share)
{
    switch (flags & 0x70) {
    case CFile::shareCompat:
    case CFile::shareExclusive: *share = 0; return true;
    case CFile::shareDenyWrite: *share = FILE_SHARE_READ; return true;
    case CFile::shareDenyRead: *share = FILE_SHARE_WRITE; return true;
    case CFile::shareDenyNone: *share = FILE_SHARE_READ | FILE_SHARE_WRITE; return true;
    default: return false;
    }
}

void ReportOpenFailure(CFileException* error, LONG osError)
{
    if (!error)
        return;
    error->m_cause = CFileException::OsErrorToCause(osError);
    error->m_lOsError = osError;
}

}  // namespace

void SetBitmapFileAllocator(BitmapFileAllocFn alloc)
{
    g_alloc = alloc;
}

HGLOBAL BitmapFileGlobalAlloc(UINT flags, SIZE_T bytes)
{
    return g_alloc ? g_alloc(flags, bytes) : GlobalAlloc(flags, bytes);
}

// The member layout is part of the binary interface: both builds check it in
// terms of the pointer size P, and the 32-bit build against the literal offsets.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
void TBitmapFileInternals::CheckLayout()
{
    constexpr size_t P = sizeof(void*);
    static_assert(sizeof(BITMAPFILEHEADER) == 14, "file header is 14 bytes");
    static_assert(sizeof(ERRORCODE) == 4 && sizeof(BOOL) == 4, "32-bit code and flag");
    static_assert(offsetof(TBitmapFile, m_fileHeader) == P, "file header after the vtable pointer");
    static_assert(offsetof(TBitmapFile, m_pInfo) == P + 14, "info pointer");
    static_assert(offsetof(TBitmapFile, m_pInfoHeader) == 2 * P + 14, "info header pointer");
    static_assert(offsetof(TBitmapFile, m_pRGBQuad) == 3 * P + 14, "colour table pointer");
    static_assert(offsetof(TBitmapFile, m_pBits) == 4 * P + 14, "pixel bits pointer");
    static_assert(offsetof(TBitmapFile, m_hInfo) == 5 * P + 14, "info block");
    static_assert(offsetof(TBitmapFile, m_hReserved) == 6 * P + 14, "reserved handle");
    static_assert(offsetof(TBitmapFile, m_errorCode) == 7 * P + 14, "error code");
    static_assert(offsetof(TBitmapFile, m_hBitmap) == 7 * P + 18, "bitmap handle");
    static_assert(offsetof(TBitmapFile, m_hPalette) == 8 * P + 18, "palette block");
    static_assert(offsetof(TBitmapFile, m_pPalette) == 9 * P + 18, "palette pointer");
    static_assert(offsetof(TBitmapFile, m_converted) == 10 * P + 18, "converted flag");
    static_assert(offsetof(TBitmapFile, m_pBitmap) == 10 * P + 22, "bitmap object");
    static_assert(offsetof(TBitmapFile, m_path) == 11 * P + 22, "path");
    static_assert(sizeof(TBitmapFile::m_path) == 260, "path of 260 characters");
    static_assert(sizeof(TBitmapFile) == 11 * P + 282, "no gaps, no tail padding");
#if !defined(_WIN64)
    static_assert(offsetof(TBitmapFile, m_fileHeader) == 4, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_pInfo) == 18, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_pInfoHeader) == 22, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_pRGBQuad) == 26, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_pBits) == 30, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_hInfo) == 34, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_hReserved) == 38, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_errorCode) == 42, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_hBitmap) == 46, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_hPalette) == 50, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_pPalette) == 54, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_converted) == 58, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_pBitmap) == 62, "32-bit layout");
    static_assert(offsetof(TBitmapFile, m_path) == 66, "32-bit layout");
    static_assert(sizeof(TBitmapFile) == 326, "32-bit layout");
#endif
}
#pragma GCC diagnostic pop

uint64_t TBitmapFileInternals::LineBytes(int64_t width, unsigned bitCount)
{
    if (width <= 0 || bitCount == 0 || bitCount > 32)
        return 0;
    uint64_t bytes = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    return bytes > 0xFFFFFFFFull ? 0 : bytes;
}

// ---- lifecycle ------------------------------------------------------------

TBitmapFile::TBitmapFile()
    : m_fileHeader(),
      m_pInfo(nullptr),
      m_pInfoHeader(nullptr),
      m_pRGBQuad(nullptr),
      m_pBits(nullptr),
      m_hInfo(nullptr),
      m_hReserved(nullptr),
      m_errorCode(BMPERR_NOTOPENED),
      m_hBitmap(nullptr),
      m_hPalette(nullptr),
      m_pPalette(nullptr),
      m_converted(FALSE),
      m_pBitmap(nullptr),
      m_path()
{
}

TBitmapFile::TBitmapFile(const TBitmapFile& other)
    : TBitmapFile()
{
    TBitmapFileInternals::CopyMembers(*this, other);
}

TBitmapFile& TBitmapFile::operator=(const TBitmapFile& other)
{
    if (this != &other) {
        TBitmapFileInternals::ReleaseInfo(*this);
        TBitmapFileInternals::ReleaseReserved(*this);
        TBitmapFileInternals::ReleasePalette(*this);
        TBitmapFileInternals::ReleaseBitmap(*this, false);
        TBitmapFileInternals::CopyMembers(*this, other);
    }
    return *this;
}

TBitmapFile::~TBitmapFile()
{
    TBitmapFileInternals::ReleaseInfo(*this);
    TBitmapFileInternals::ReleaseReserved(*this);
    TBitmapFileInternals::ReleasePalette(*this);
    TBitmapFileInternals::ReleaseBitmap(*this, true);
}

void* TBitmapFile::operator new(size_t size) noexcept
{
    HGLOBAL block = BitmapFileGlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block)
        return nullptr;
    void* object = GlobalLock(block);
    if (!object)
        GlobalFree(block);
    return object;
}

void TBitmapFile::operator delete(void* object) noexcept
{
    if (!object)
        return;
    FreeLockedBlock(GlobalHandle(object));
}

void TBitmapFileInternals::CopyMembers(TBitmapFile& to, const TBitmapFile& from)
{
    to.m_fileHeader = from.m_fileHeader;
    to.m_pInfo = from.m_pInfo;
    to.m_pInfoHeader = from.m_pInfoHeader;
    to.m_pRGBQuad = from.m_pRGBQuad;
    to.m_pBits = from.m_pBits;
    to.m_hInfo = from.m_hInfo;
    to.m_hReserved = from.m_hReserved;
    to.m_errorCode = from.m_errorCode;
    to.m_hBitmap = from.m_hBitmap;
    to.m_hPalette = from.m_hPalette;
    to.m_pPalette = from.m_pPalette;
    to.m_converted = from.m_converted;
    to.m_pBitmap = from.m_pBitmap;
    std::memcpy(to.m_path, from.m_path, sizeof to.m_path);

    // Every shared resource gains an owner. Should that fail to be recorded,
    // the copy lets go of it rather than free it twice later.
    if (to.m_hInfo && !ShareResource(to.m_hInfo)) {
        to.m_hInfo = nullptr;
        to.m_pInfo = nullptr;
        to.m_pInfoHeader = nullptr;
        to.m_pRGBQuad = nullptr;
        to.m_errorCode = BMPERR_NOMEMORY;
    }
    if (to.m_hReserved && !ShareResource(to.m_hReserved))
        to.m_hReserved = nullptr;
    if (to.m_hPalette && !ShareResource(to.m_hPalette)) {
        to.m_hPalette = nullptr;
        to.m_pPalette = nullptr;
    }
    if (to.m_pBitmap && !ShareResource(to.m_pBitmap)) {
        to.m_pBitmap = nullptr;
        to.m_hBitmap = nullptr;
        to.m_pBits = nullptr;
    }
}

void TBitmapFileInternals::ReleaseInfo(TBitmapFile& f)
{
    if (f.m_hInfo && ReleaseResource(f.m_hInfo))
        FreeLockedBlock(f.m_hInfo);
    f.m_hInfo = nullptr;
    f.m_pInfo = nullptr;
    f.m_pInfoHeader = nullptr;
    f.m_pRGBQuad = nullptr;
}

void TBitmapFileInternals::ReleaseReserved(TBitmapFile& f)
{
    if (f.m_hReserved && ReleaseResource(f.m_hReserved))
        GlobalFree(f.m_hReserved);
    f.m_hReserved = nullptr;
}

void TBitmapFileInternals::ReleasePalette(TBitmapFile& f)
{
    if (f.m_hPalette && ReleaseResource(f.m_hPalette))
        GlobalFree(f.m_hPalette);
    f.m_hPalette = nullptr;
    f.m_pPalette = nullptr;
}

void TBitmapFileInternals::ReleaseBitmap(TBitmapFile& f, bool reportFailure)
{
    if (f.m_pBitmap && ReleaseResource(f.m_pBitmap)) {
        HGDIOBJ section = f.m_pBitmap->Detach();
        if (!DeleteObject(section) && reportFailure)
            ShowMessageBox(nullptr, "bitmap detach error", "TBitmapFile", MB_OK | MB_ICONEXCLAMATION);
        delete f.m_pBitmap;
    }
    f.m_pBitmap = nullptr;
    f.m_hBitmap = nullptr;
    f.m_pBits = nullptr;
}

// ---- Open -----------------------------------------------------------------

int TBitmapFile::Open(const char* path, unsigned flags, CFileException* error)
{
    // Headers of an earlier Open are dropped; a bitmap object made from them
    // stays until it is replaced or the object is destroyed.
    TBitmapFileInternals::ReleaseInfo(*this);
    m_converted = FALSE;
    m_fileHeader = BITMAPFILEHEADER();
    m_path[0] = '\0';
    m_errorCode = BMPERR_NOTOPENED;

    // A path that does not fit the member would be reopened truncated later.
    if (!path || std::strlen(path) >= sizeof m_path) {
        ReportOpenFailure(error, path ? ERROR_FILENAME_EXCED_RANGE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::strcpy(m_path, path);

    DWORD share = 0;
    if (!ShareModeFromFlags(flags, &share)) {
        ReportOpenFailure(error, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Only ever read: the access and create bits of the flags are not honoured,
    // so that opening can never create or empty the file.
    HANDLE file = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportOpenFailure(error, static_cast<LONG>(GetLastError()));
        return FALSE;
    }
    m_errorCode = TBitmapFileInternals::ReadHeaders(*this, file);
    CloseHandle(file);
    return m_errorCode == BMPERR_NONE;
}

ERRORCODE TBitmapFileInternals::ReadHeaders(TBitmapFile& f, HANDLE file)
{
    if (!ReadExactly(file, &f.m_fileHeader, kFileHeaderSize))
        return BMPERR_NOTBITMAP;
    if (f.m_fileHeader.bfType != kTypeBM && f.m_fileHeader.bfType != kTypeCH)
        return BMPERR_NOTBITMAP;

    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return BMPERR_NOTBITMAP;
    const uint64_t length = static_cast<uint64_t>(size.QuadPart) > LONG_MAX
                                ? static_cast<uint64_t>(LONG_MAX)
                                : static_cast<uint64_t>(size.QuadPart);
    f.m_fileHeader.bfSize = static_cast<DWORD>(length);

    f.m_hInfo = BitmapFileGlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kBitmapInfoBlockSize);
    if (!f.m_hInfo)
        return BMPERR_NOMEMORY;
    void* info = GlobalLock(f.m_hInfo);
    if (!info) {
        GlobalFree(f.m_hInfo);
        f.m_hInfo = nullptr;
        return BMPERR_NOMEMORY;
    }
    f.m_pInfo = static_cast<BITMAPINFO*>(info);
    f.m_pInfoHeader = &f.m_pInfo->bmiHeader;
    f.m_pRGBQuad = reinterpret_cast<RGBQUAD*>(static_cast<BYTE*>(info) + kInfoHeaderSize);

    // Everything between the file header and the pixels is the info: it must be
    // in the file and hold at least the smallest header. Beyond the block's
    // 1064 bytes it can only be padding before the pixels, and is skipped.
    const DWORD offset = f.m_fileHeader.bfOffBits;
    if (offset < kFileHeaderSize + kCoreHeaderSize || offset > length)
        return BMPERR_NOTBITMAP;
    DWORD infoBytes = offset - kFileHeaderSize;
    if (infoBytes > kBitmapInfoBlockSize)
        infoBytes = kBitmapInfoBlockSize;
    if (!ReadExactly(file, info, infoBytes))
        return BMPERR_NOTBITMAP;

    BITMAPINFOHEADER& h = *f.m_pInfoHeader;
    if (h.biSize == kCoreHeaderSize) {
        ConvertCoreHeader(f);
    } else if (h.biSize != kInfoHeaderSize || infoBytes < kInfoHeaderSize) {
        return BMPERR_NOTBITMAP;
    }

    if (h.biCompression != BI_RGB)
        return BMPERR_COMPRESSED;
    h.biSizeImage = 0;
    if (!((h.biBitCount >= 1 && h.biBitCount <= 8) || h.biBitCount == 24))
        return BMPERR_COLORDEPTH;

    // Geometry a bitmap cannot have, or pixels the file does not hold.
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == LONG_MIN)
        return BMPERR_NOTBITMAP;
    const uint64_t lines = h.biHeight < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(h.biHeight))
                                          : static_cast<uint64_t>(h.biHeight);
    const uint64_t stride = LineBytes(h.biWidth, h.biBitCount);
    const uint64_t lastLine = (static_cast<uint64_t>(h.biWidth) * h.biBitCount + 7) / 8;
    if (stride == 0 || offset + stride * (lines - 1) + lastLine > length)
        return BMPERR_NOTBITMAP;

    // The block holds 256 colour entries: larger counts would make the
    // platform read past it, so they fall back to "the full table".
    const DWORD tableMax = h.biBitCount <= 8 ? (1u << h.biBitCount) : 256u;
    if (h.biClrUsed > tableMax)
        h.biClrUsed = 0;
    if (h.biClrImportant > tableMax)
        h.biClrImportant = 0;
    return BMPERR_NONE;
}

// The 12-byte header (BITMAPCOREHEADER) with 3-byte colour entries becomes a
// 40-byte header with 4-byte entries, in place.
void TBitmapFileInternals::ConvertCoreHeader(TBitmapFile& f)
{
    BYTE* block = reinterpret_cast<BYTE*>(f.m_pInfo);
    BITMAPCOREHEADER core;
    std::memcpy(&core, block, sizeof core);
    f.m_converted = TRUE;

    if (core.bcBitCount <= 8) {
        // Last entry first: entry i moves from 12 + 3i to 40 + 4i, never onto
        // a lower entry that is still to be moved.
        for (int i = (1 << core.bcBitCount) - 1; i >= 0; --i) {
            const BYTE* from = block + kCoreHeaderSize + 3 * i;
            BYTE* to = block + kInfoHeaderSize + 4 * i;
            const BYTE blue = from[0], green = from[1], red = from[2];
            to[0] = blue;
            to[1] = green;
            to[2] = red;
            to[3] = 0;
        }
    }

    BITMAPINFOHEADER& h = *f.m_pInfoHeader;
    h.biSize = kInfoHeaderSize;
    h.biWidth = core.bcWidth;
    h.biHeight = core.bcHeight;
    h.biPlanes = 1;
    h.biBitCount = core.bcBitCount;
    h.biCompression = BI_RGB;
    h.biSizeImage = 0;
    h.biXPelsPerMeter = 0;
    h.biYPelsPerMeter = 0;
    h.biClrUsed = 0;
    h.biClrImportant = 0;
}

// ---- getters --------------------------------------------------------------

ERRORCODE TBitmapFile::GetErrorCode()
{
    return m_errorCode;
}

long TBitmapFile::GetFileLength()
{
    return static_cast<long>(m_fileHeader.bfSize);
}

BITMAPFILEHEADER* TBitmapFile::GetBITMAPFILEHEADER()
{
    return &m_fileHeader;
}

BITMAPINFO* TBitmapFile::GetBITMAPINFO()
{
    return m_pInfo;
}

BITMAPINFOHEADER* TBitmapFile::GetBITMAPINFOHEADER()
{
    return m_pInfoHeader;
}

RGBQUAD* TBitmapFile::GetRGBQUAD()
{
    return m_pRGBQuad;
}

BYTE* TBitmapFile::GetBmpbit()
{
    return m_pBits;
}

long TBitmapFile::GetWidth()
{
    return m_pInfoHeader ? m_pInfoHeader->biWidth : 0;
}

long TBitmapFile::GetHeight()
{
    if (!m_pInfoHeader)
        return 0;
    const LONG height = m_pInfoHeader->biHeight;
    if (height == LONG_MIN)
        return LONG_MAX;
    return height < 0 ? -height : height;
}

int TBitmapFile::IsUpSideDown()
{
    return m_pInfoHeader && m_pInfoHeader->biHeight > 0;
}

long TBitmapFile::GetColorNum()
{
    if (!m_pInfoHeader || m_pInfoHeader->biBitCount > 30)
        return 0;
    return 1L << m_pInfoHeader->biBitCount;
}

int TBitmapFile::IsGrayScale()
{
    if (GetColorNum() != 256 || !m_pRGBQuad)
        return FALSE;
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& c = m_pRGBQuad[i];
        if (c.rgbRed != c.rgbGreen || c.rgbGreen != c.rgbBlue)
            return FALSE;
    }
    return TRUE;
}

namespace {
// Pixels per metre to dots per inch, truncated towards zero (11811 -> 299).
short DotsPerInch(LONG pixelsPerMetre)
{
    const int64_t dpi = static_cast<int64_t>(pixelsPerMetre) * 254 / 10000;
    if (dpi > SHRT_MAX)
        return SHRT_MAX;
    if (dpi < SHRT_MIN)
        return SHRT_MIN;
    return static_cast<short>(dpi);
}
}  // namespace

short TBitmapFile::GetXrel()
{
    if (m_errorCode != BMPERR_NONE || !m_pInfoHeader)
        return 0;
    return DotsPerInch(m_pInfoHeader->biXPelsPerMeter);
}

short TBitmapFile::GetYrel()
{
    if (m_errorCode != BMPERR_NONE || !m_pInfoHeader)
        return 0;
    return DotsPerInch(m_pInfoHeader->biYPelsPerMeter);
}

// ---- palette and bitmap section -------------------------------------------

LOGPALETTE* TBitmapFile::CreateLogPalette()
{
    if (m_errorCode != BMPERR_NONE || !m_pInfoHeader)
        return nullptr;
    const long colours = GetColorNum();
    const int entries = (colours > 0 && colours <= 256) ? static_cast<int>(colours) : 0;

    TBitmapFileInternals::ReleasePalette(*this);
    HGLOBAL block = BitmapFileGlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 4 * entries + 8);
    if (!block)
        return nullptr;
    LOGPALETTE* palette = static_cast<LOGPALETTE*>(GlobalLock(block));
    if (!palette) {
        GlobalFree(block);
        return nullptr;
    }
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(entries);
    for (int i = 0; i < entries; ++i) {
        palette->palPalEntry[i].peRed = m_pRGBQuad[i].rgbRed;
        palette->palPalEntry[i].peGreen = m_pRGBQuad[i].rgbGreen;
        palette->palPalEntry[i].peBlue = m_pRGBQuad[i].rgbBlue;
        palette->palPalEntry[i].peFlags = m_pRGBQuad[i].rgbReserved;
    }
    m_hPalette = block;
    m_pPalette = palette;
    return palette;
}

CBitmap* TBitmapFile::CreateCBitmap(CDC* dc, int)
{
    if (m_errorCode != BMPERR_NONE || !m_pInfo)
        return nullptr;
    TBitmapFileInternals::ReleaseBitmap(*this, false);
    CreateCBitmap001(dc);
    return m_pBitmap;
}

void TBitmapFile::CreateCBitmap001(CDC* dc)
{
    if (m_errorCode != BMPERR_NONE || !m_pInfo)
        return;
    TBitmapFileInternals::ReleaseBitmap(*this, false);

    const BITMAPINFOHEADER& h = *m_pInfoHeader;
    const int64_t lines = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    const uint64_t stride = TBitmapFileInternals::LineBytes(h.biWidth, h.biBitCount);
    if (stride == 0 || lines <= 0)
        return;

    CBitmap* bitmap = new (std::nothrow) CBitmap;
    if (!bitmap)
        return;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc ? dc->GetSafeHdc() : nullptr, m_pInfo, DIB_RGB_COLORS,
                                       &bits, nullptr, 0);
    // The section must be what the header describes before pixels go into it.
    DIBSECTION ds;
    bool usable = section && bits && GetObjectA(section, sizeof ds, &ds) == sizeof ds &&
                  ds.dsBm.bmWidth == h.biWidth && ds.dsBm.bmHeight == lines &&
                  ds.dsBm.bmBitsPixel == h.biBitCount;
    if (usable)
        usable = TBitmapFileInternals::LoadPixels(*this, static_cast<BYTE*>(bits),
                                                  stride * static_cast<uint64_t>(lines));
    if (!usable) {
        if (section)
            DeleteObject(section);
        delete bitmap;
        return;
    }
    bitmap->Attach(section);
    m_pBitmap = bitmap;
    m_hBitmap = section;
    m_pBits = static_cast<BYTE*>(bits);
}

bool TBitmapFileInternals::LoadPixels(TBitmapFile& f, BYTE* bits, uint64_t sectionBytes)
{
    HANDLE file = CreateFileA(f.m_path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;

    bool ok = true;
    LARGE_INTEGER size;
    const uint64_t offset = f.m_fileHeader.bfOffBits;
    uint64_t wanted = 0;
    if (!GetFileSizeEx(file, &size)) {
        ok = false;
    } else if (static_cast<uint64_t>(size.QuadPart) > offset) {
        // Whole DWORDs of pixels, never more than the section holds.
        wanted = (static_cast<uint64_t>(size.QuadPart) - offset) & ~uint64_t(3);
        if (wanted > sectionBytes)
            wanted = sectionBytes;
    }
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (ok && wanted > 0 && !SetFilePointerEx(file, position, nullptr, FILE_BEGIN))
        ok = false;

    uint64_t done = 0;
    while (ok && done < wanted) {
        const DWORD piece = wanted - done > kReadPiece ? kReadPiece : static_cast<DWORD>(wanted - done);
        DWORD got = 0;
        if (!ReadFile(file, bits + done, piece, &got, nullptr))
            ok = false;
        else if (got == 0)
            break;  // the file became shorter since Open: the rest stays zero
        done += got;
    }
    CloseHandle(file);
    return ok;
}
