// Blank BMP files and the shortening of a partly filled one.
#include "scan/misc.h"

#include <stdlib.h>
#include <string.h>

namespace {

const int kFileHeaderSize = sizeof(BITMAPFILEHEADER);   // 14
const int kInfoHeaderSize = sizeof(BITMAPINFOHEADER);   // 40
static_assert(sizeof(BITMAPFILEHEADER) == 14 && sizeof(BITMAPINFOHEADER) == 40,
              "BMP headers are packed");

// Largest file the headers can describe with signed 32-bit sizes.
const uint64_t kLargestBmp = 0x7FFFFFFF;

int PixelsPerMetre(int dpi)
{
    return dpi > 0 ? static_cast<int>(static_cast<int64_t>(dpi) * 10000 / 254) : 0;
}

bool SeekTo(HANDLE file, uint64_t position)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

bool ReadAll(HANDLE file, void* data, DWORD size)
{
    DWORD read = 0;
    return ReadFile(file, data, size, &read, nullptr) && read == size;
}

} // namespace

int BytesPerLine(int bitsPerPixel, int width)
{
    if (width < 1)
        return 0;
    int64_t w = width;
    int64_t bytes;
    switch (bitsPerPixel) {
    case 1:  bytes = (((w + 7) / 8 + 3) / 4) * 4; break;
    case 4:  bytes = (((w + 1) / 2 + 3) / 4) * 4; break;
    case 8:  bytes = ((w + 3) / 4) * 4; break;
    case 24: bytes = ((3 * w + 3) / 4) * 4; break;
    default: return 0;
    }
    return bytes > 0x7FFFFFFF ? 0 : static_cast<int>(bytes);
}

int PaletteEntriesFor(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

uint64_t BmpSpaceNeeded(uint64_t fileSize)
{
    return fileSize + (fileSize > 9999999 ? 5000000 : fileSize / 2);
}

int WriteNullBMP(const char* path, int bitsPerPixel, int dpi, int width, int height)
{
    const int line = BytesPerLine(bitsPerPixel, width);
    if (!path || line == 0 || height < 1)
        return 0;
    const int entries = PaletteEntriesFor(bitsPerPixel);
    const int headerSize = kFileHeaderSize + kInfoHeaderSize + 4 * entries;
    const uint64_t total = headerSize + static_cast<uint64_t>(line) * height;
    if (total > kLargestBmp)
        return 0;
    if (!HasDiskSpaceAt(path, BmpSpaceNeeded(total)))
        return 0;

    unsigned char* header = static_cast<unsigned char*>(calloc(1, headerSize));
    if (!header)
        return -1;
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;   // "BM"
    fileHeader.bfSize = static_cast<DWORD>(total);
    fileHeader.bfOffBits = headerSize;
    BITMAPINFOHEADER info = {};
    info.biSize = kInfoHeaderSize;
    info.biWidth = width;
    info.biHeight = height;       // positive: bottom-up
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(bitsPerPixel);
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(total - headerSize);
    info.biXPelsPerMeter = info.biYPelsPerMeter = PixelsPerMetre(dpi);
    info.biClrUsed = info.biClrImportant = entries;
    memcpy(header, &fileHeader, kFileHeaderSize);
    memcpy(header + kFileHeaderSize, &info, kInfoHeaderSize);
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(header + kFileHeaderSize + kInfoHeaderSize);
    for (int i = 0; i < entries; ++i) {
        BYTE level;
        if (bitsPerPixel == 1)
            level = i ? 255 : 0;
        else if (bitsPerPixel == 4)
            level = i == 15 ? 255 : static_cast<BYTE>(i * 16);
        else
            level = static_cast<BYTE>(i);
        table[i].rgbBlue = table[i].rgbGreen = table[i].rgbRed = level;
        table[i].rgbReserved = 0;
    }

    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        free(header);
        return 0;
    }
    // The pixel area is only reserved: the scan writes it block by block.
    bool ok = WriteAll(file, header, headerSize) && SeekTo(file, total) && SetEndOfFile(file);
    CloseHandle(file);
    free(header);
    if (!ok) {
        DeleteFileA(path);
        return 0;
    }
    return 1;
}

int TruncateBmp(const char* path, int lines, unsigned char* scratch, size_t scratchSize)
{
    if (!path)
        return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;

    int result = 0;
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER info;
    LARGE_INTEGER fileSize;
    if (ReadAll(file, &fileHeader, kFileHeaderSize) && ReadAll(file, &info, kInfoHeaderSize) &&
        GetFileSizeEx(file, &fileSize)) {
        const int line = BytesPerLine(info.biBitCount, info.biWidth);
        const int64_t oldHeight = info.biHeight;
        const uint64_t offset = fileHeader.bfOffBits;
        // Only a bottom-up file whose pixel area lies wholly inside it can be shortened.
        const bool valid = fileHeader.bfType == 0x4D42 && info.biSize >= 40 && line > 0 &&
                           oldHeight > 0 && lines >= 0 && lines <= oldHeight &&
                           offset >= static_cast<uint64_t>(kFileHeaderSize + kInfoHeaderSize) &&
                           offset + static_cast<uint64_t>(line) * oldHeight <=
                               static_cast<uint64_t>(fileSize.QuadPart);
        const uint64_t keep = static_cast<uint64_t>(line) * lines;
        const uint64_t from = offset + static_cast<uint64_t>(line) * (oldHeight - lines);
        if (valid && (from == offset || (scratch && scratchSize > 0))) {
            fileHeader.bfSize = static_cast<DWORD>(offset + keep);
            info.biHeight = lines;
            info.biSizeImage = static_cast<DWORD>(keep);
            bool ok = SeekTo(file, 0) && WriteAll(file, &fileHeader, kFileHeaderSize) &&
                      WriteAll(file, &info, kInfoHeaderSize);
            // Lowest addresses first: the target lies below the source, so no piece
            // overwrites lines that are still to be read.
            for (uint64_t done = 0; ok && from != offset && done < keep;) {
                DWORD piece = static_cast<DWORD>(
                    keep - done < scratchSize ? keep - done : scratchSize);
                if (piece > 0x40000000)
                    piece = 0x40000000;
                ok = SeekTo(file, from + done) && ReadAll(file, scratch, piece) &&
                     SeekTo(file, offset + done) && WriteAll(file, scratch, piece);
                done += piece;
            }
            ok = ok && SeekTo(file, offset + keep) && SetEndOfFile(file);
            result = ok ? 1 : 0;
        }
    }
    CloseHandle(file);
    return result;
}
