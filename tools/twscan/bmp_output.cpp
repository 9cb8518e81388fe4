#include "bmp_output.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <utility>

static bool WriteWhole(const std::string& path, const std::vector<const void*>& parts,
                       const std::vector<size_t>& sizes, std::string* error)
{
    const std::string temporary = path + ".part";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (!file) {
        *error = "cannot create " + temporary;
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < parts.size() && ok; ++i)
        ok = sizes[i] == 0 || fwrite(parts[i], 1, sizes[i], file) == sizes[i];
    ok = (fclose(file) == 0) && ok;
    if (ok)
        ok = MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!ok) {
        DeleteFileA(temporary.c_str());
        *error = "cannot write " + path;
    }
    return ok;
}

static BITMAPFILEHEADER FileHeader(size_t dibSize, size_t pixelOffsetInDib)
{
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfSize = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + dibSize);
    header.bfOffBits = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + pixelOffsetInDib);
    return header;
}

bool WritePackedDibAsBmp(const std::string& path, const void* dib, size_t size, std::string* error)
{
    if (size < sizeof(BITMAPINFOHEADER)) {
        *error = "the image block is too small to hold a bitmap";
        return false;
    }
    BITMAPINFOHEADER info;
    memcpy(&info, dib, sizeof(info));
    if (info.biSize < sizeof(BITMAPINFOHEADER) || info.biSize > size) {
        *error = "the image block does not start with a bitmap information header";
        return false;
    }
    size_t colors = info.biClrUsed;
    if (colors == 0 && info.biBitCount <= 8)
        colors = size_t(1) << info.biBitCount;
    const size_t pixelOffset = info.biSize + colors * sizeof(RGBQUAD);
    if (pixelOffset > size) {
        *error = "the image block's colour table is cut short";
        return false;
    }
    BITMAPFILEHEADER header = FileHeader(size, pixelOffset);
    return WriteWhole(path, {&header, dib}, {sizeof(header), size}, error);
}

bool PackRowsAsDib(int width, int height, int bitsPerPixel, const std::vector<uint8_t>& rows,
                   size_t bytesPerRow, int dpi, std::vector<uint8_t>* dib, std::string* error)
{
    if (width <= 0 || height <= 0 || rows.size() < bytesPerRow * size_t(height)) {
        *error = "the transferred rows do not make up the image";
        return false;
    }
    const size_t stride = ((size_t(width) * bitsPerPixel + 31) / 32) * 4;
    if (bytesPerRow < (size_t(width) * bitsPerPixel + 7) / 8) {
        *error = "the transferred rows are shorter than the image width";
        return false;
    }
    const int colors = bitsPerPixel == 1 ? 2 : bitsPerPixel == 8 ? 256 : 0;

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(bitsPerPixel);
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride * height);
    info.biXPelsPerMeter = info.biYPelsPerMeter = static_cast<LONG>(dpi * 10000 / 254);
    info.biClrUsed = colors;

    std::vector<RGBQUAD> palette(colors);
    for (int i = 0; i < colors; ++i) {
        BYTE level = static_cast<BYTE>(colors == 2 ? i * 255 : i);
        palette[i] = {level, level, level, 0};
    }

    std::vector<uint8_t> pixels(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = &rows[size_t(y) * bytesPerRow];
        uint8_t* target = &pixels[size_t(height - 1 - y) * stride];
        memcpy(target, source, std::min(stride, bytesPerRow));
        if (bitsPerPixel == 24) {
            for (int x = 0; x < width; ++x)
                std::swap(target[3 * x], target[3 * x + 2]);  // RGB -> BGR
        }
    }
    const auto* infoBytes = reinterpret_cast<const uint8_t*>(&info);
    const auto* paletteBytes = reinterpret_cast<const uint8_t*>(palette.data());
    dib->assign(infoBytes, infoBytes + sizeof(info));
    dib->insert(dib->end(), paletteBytes, paletteBytes + palette.size() * sizeof(RGBQUAD));
    dib->insert(dib->end(), pixels.begin(), pixels.end());
    return true;
}
