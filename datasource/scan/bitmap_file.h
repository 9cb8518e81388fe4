// TBitmapFile: reads a BMP file and turns it into headers, a colour table, a
// device-independent bitmap section, a logical palette and a 100 x 100
// thumbnail. Exported from kestrel.ds with all its members; its member list,
// their order and the 2-byte packed layout are a fixed binary interface.
//
// A program that uses the class from kestrel.ds defines KESTREL_BITMAPFILE_IMPORT
// before including this header and links the import library libkestrel.ds.a.
#pragma once

#include <windows.h>

#include <cstddef>

#include "scan/framework_standins.h"

#if defined(KESTREL_BITMAPFILE_IMPORT)
#define KESTREL_BITMAPFILE_API __declspec(dllimport)
#else
#define KESTREL_BITMAPFILE_API __declspec(dllexport)
#endif

// Result of the last Open.
enum ERRORCODE : int {
    BMPERR_NONE = 0,        // file read
    BMPERR_NOMEMORY = 1,    // not enough memory
    BMPERR_NOTOPENED = 2,   // file not opened
    BMPERR_NOTBITMAP = 3,   // not a bitmap file (type, header size or geometry)
    BMPERR_COMPRESSED = 4,  // compressed bitmap
    BMPERR_COLORDEPTH = 5,  // unsupported colour depth
};

// Size of the info block: a 40-byte header and 256 colour entries.
constexpr DWORD kBitmapInfoBlockSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);

// Side of the square thumbnail, and the longest side of the image inside it.
constexpr int kThumbNailSide = 100;
constexpr int kThumbNailImageMax = 88;

#pragma pack(push, 2)

class KESTREL_BITMAPFILE_API TBitmapFile {
public:
    TBitmapFile();
    TBitmapFile(const TBitmapFile& other);
    TBitmapFile& operator=(const TBitmapFile& other);
    ~TBitmapFile();

    // The object itself lives in a zero-filled, locked movable global block.
    // Returns nullptr (and no object is built) when the block cannot be had.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* object) noexcept;

    // Reads the file and info headers and the colour table; the pixels are read
    // by CreateCBitmap. Returns true on success; GetErrorCode tells why not.
    virtual int Open(const char* path, unsigned flags, CFileException* error);

    ERRORCODE GetErrorCode();
    long GetFileLength();
    BITMAPFILEHEADER* GetBITMAPFILEHEADER();
    BITMAPINFO* GetBITMAPINFO();
    BITMAPINFOHEADER* GetBITMAPINFOHEADER();
    RGBQUAD* GetRGBQUAD();
    BYTE* GetBmpbit();
    long GetWidth();
    long GetHeight();
    int IsUpSideDown();
    long GetColorNum();
    int IsGrayScale();
    short GetXrel();
    short GetYrel();

    LOGPALETTE* CreateLogPalette();
    CBitmap* CreateCBitmap(CDC* dc, int unused);
    void CreateCBitmap001(CDC* dc);

protected:
    long CreateThumbNail(CDC* dc, RGBTRIPLE* buffer);
    void ShrinkBW(int width, int height, int x, int y, RGBTRIPLE* buffer);
    void Shrink16(int width, int height, int x, int y, RGBTRIPLE* buffer);
    void Shrink256gray(int width, int height, int x, int y, RGBTRIPLE* buffer);
    void Shrink256Color(int width, int height, int x, int y, RGBTRIPLE* buffer);
    void ShrinkTrueColor(int width, int height, int x, int y, RGBTRIPLE* buffer);

private:
    // Layout checks and the helpers shared by the members (bitmap_file.cpp).
    friend struct TBitmapFileInternals;

    BITMAPFILEHEADER m_fileHeader;     // size field: the actual file length
    BITMAPINFO* m_pInfo;               // header and colour table, in m_hInfo
    BITMAPINFOHEADER* m_pInfoHeader;   // same address as m_pInfo
    RGBQUAD* m_pRGBQuad;               // m_pInfo + 40 bytes
    BYTE* m_pBits;                     // pixels of the section
    HGLOBAL m_hInfo;                   // kBitmapInfoBlockSize bytes, locked
    HGLOBAL m_hReserved;               // freed by the destructor only
    ERRORCODE m_errorCode;
    HBITMAP m_hBitmap;                 // the section, attached to m_pBitmap
    HGLOBAL m_hPalette;                // fixed block holding m_pPalette
    LOGPALETTE* m_pPalette;
    BOOL m_converted;                  // the file had a 12-byte header
    CBitmap* m_pBitmap;
    char m_path[MAX_PATH];
};

#pragma pack(pop)
