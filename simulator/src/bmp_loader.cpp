// Reads a card image from an uncompressed BMP file (24-bit, or 8-bit with palette).
#include "sheet.h"

#include <stdio.h>
#include <string.h>

namespace scansim {

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

} // namespace

bool loadBmp(const char* path, Sheet& out, std::string& error)
{
    if (!path) {
        error = "no file name";
        return false;
    }
    FILE* f = fopen(path, "rb");
    if (!f) {
        error = std::string("cannot open ") + path;
        return false;
    }
    std::vector<uint8_t> file;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        file.insert(file.end(), chunk, chunk + n);
    fclose(f);

    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
        error = "not a BMP file";
        return false;
    }
    uint32_t dataOffset = le32(&file[10]);
    uint32_t infoSize = le32(&file[14]);
    int32_t width = int32_t(le32(&file[18]));
    int32_t height = int32_t(le32(&file[22]));
    uint16_t bits = le16(&file[28]);
    uint32_t compression = le32(&file[30]);
    int32_t xPelsPerMeter = int32_t(le32(&file[38]));
    uint32_t colours = le32(&file[46]);
    bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (compression != 0 || (bits != 24 && bits != 8) || width <= 0 || height <= 0 ||
        int64_t(width) * height > 40000000 || infoSize < 40) {
        error = "unsupported BMP layout (need uncompressed 24-bit or 8-bit)";
        return false;
    }
    size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
    if (dataOffset > file.size() || file.size() - dataOffset < stride * height) {
        error = "BMP file is truncated";
        return false;
    }
    // The palette follows the header; sums in 64 bits so that no header size wraps round.
    const uint8_t* palette = nullptr;
    if (bits == 8) {
        if (colours == 0 || colours > 256)
            colours = 256;
        uint64_t paletteAt = 14 + uint64_t(infoSize);
        if (paletteAt + uint64_t(colours) * 4 > dataOffset) {
            error = "BMP palette is truncated";
            return false;
        }
        palette = &file[size_t(paletteAt)];
    }
    out.width = width;
    out.height = height;
    out.dpi = xPelsPerMeter > 0 ? int(xPelsPerMeter * 0.0254 + 0.5) : 600;
    if (out.dpi < 50)
        out.dpi = 600;
    out.rgb.assign(size_t(width) * height * 3, 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = &file[dataOffset + stride * (topDown ? y : height - 1 - y)];
        uint8_t* dst = &out.rgb[size_t(y) * width * 3];
        for (int x = 0; x < width; ++x) {
            const uint8_t* bgr = bits == 24 ? row + x * 3 : palette + 4 * (row[x] < colours ? row[x] : 0);
            dst[x * 3 + 0] = bgr[2];
            dst[x * 3 + 1] = bgr[1];
            dst[x * 3 + 2] = bgr[0];
        }
    }
    return true;
}

} // namespace scansim
