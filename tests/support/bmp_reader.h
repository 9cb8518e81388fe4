// A small, strict reader of BMP files for tests: it decodes what a standard
// reader would see, pixel by pixel, from the file's own headers and colour table.
#pragma once

#include <windows.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

struct DecodedBmp {
    bool ok = false;
    std::string error;
    int width = 0, height = 0, bitsPerPixel = 0;
    int xPelsPerMeter = 0;
    std::vector<RGBQUAD> palette;
    // Top-down pixels as red, green, blue.
    std::vector<uint8_t> rgb;

    uint8_t Red(int x, int y) const { return rgb[(size_t(y) * width + x) * 3 + 0]; }
    uint8_t Green(int x, int y) const { return rgb[(size_t(y) * width + x) * 3 + 1]; }
    uint8_t Blue(int x, int y) const { return rgb[(size_t(y) * width + x) * 3 + 2]; }
};

inline DecodedBmp DecodeBmpBytes(const std::vector<uint8_t>& file)
{
    DecodedBmp out;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    if (file.size() < sizeof(fh) + sizeof(ih)) {
        out.error = "too short";
        return out;
    }
    memcpy(&fh, file.data(), sizeof(fh));
    memcpy(&ih, file.data() + sizeof(fh), sizeof(ih));
    if (fh.bfType != 0x4D42 || ih.biSize < sizeof(ih) || ih.biPlanes != 1 ||
        ih.biCompression != BI_RGB) {
        out.error = "not an uncompressed BMP";
        return out;
    }
    if (fh.bfSize != file.size()) {
        out.error = "bfSize does not match the file length";
        return out;
    }
    out.width = ih.biWidth;
    const bool topDown = ih.biHeight < 0;
    out.height = topDown ? -ih.biHeight : ih.biHeight;
    out.bitsPerPixel = ih.biBitCount;
    out.xPelsPerMeter = ih.biXPelsPerMeter;
    size_t colors = ih.biClrUsed ? ih.biClrUsed : (ih.biBitCount <= 8 ? 1u << ih.biBitCount : 0);
    size_t tableAt = sizeof(fh) + ih.biSize;
    if (tableAt + colors * 4 > fh.bfOffBits) {
        out.error = "colour table overlaps the pixels";
        return out;
    }
    out.palette.resize(colors);
    memcpy(out.palette.data(), file.data() + tableAt, colors * 4);
    const size_t stride = ((size_t(out.width) * out.bitsPerPixel + 31) / 32) * 4;
    if (out.width <= 0 || out.height <= 0 || fh.bfOffBits + stride * out.height > file.size()) {
        out.error = "pixels run past the end of the file";
        return out;
    }
    out.rgb.resize(size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        const int fileRow = topDown ? y : out.height - 1 - y;
        const uint8_t* row = file.data() + fh.bfOffBits + stride * fileRow;
        for (int x = 0; x < out.width; ++x) {
            uint8_t r, g, b;
            if (out.bitsPerPixel == 24) {
                b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
            } else {
                unsigned index = 0;
                if (out.bitsPerPixel == 8) index = row[x];
                else if (out.bitsPerPixel == 4) index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
                else if (out.bitsPerPixel == 1) index = (row[x / 8] >> (7 - x % 8)) & 1;
                if (index >= colors) {
                    out.error = "pixel index beyond the colour table";
                    return out;
                }
                r = out.palette[index].rgbRed, g = out.palette[index].rgbGreen,
                b = out.palette[index].rgbBlue;
            }
            uint8_t* p = &out.rgb[(size_t(y) * out.width + x) * 3];
            p[0] = r, p[1] = g, p[2] = b;
        }
    }
    out.ok = true;
    return out;
}

inline DecodedBmp DecodeBmpFile(const std::string& path)
{
    std::vector<uint8_t> bytes;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        uint8_t chunk[65536];
        size_t n;
        while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        fclose(f);
    } else {
        DecodedBmp missing;
        missing.error = "cannot open " + path;
        return missing;
    }
    return DecodeBmpBytes(bytes);
}
