#include "image.h"

#include <ctype.h>
#include <stdio.h>

namespace fidelity {

namespace {

enum : int { MAX_SIDE = 20000 }; // far beyond a card at the highest resolution

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + n);
    fclose(f);
    return true;
}

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool Fail(std::string* error, const char* why)
{
    *error = why;
    return false;
}

bool DecodeBmp(const std::vector<uint8_t>& f, Image* image, std::string* error)
{
    if (f.size() < 54)
        return Fail(error, "BMP shorter than its headers");
    const uint32_t pixelsAt = Le32(&f[10]), headerSize = Le32(&f[14]);
    const int32_t width = int32_t(Le32(&f[18])), rawHeight = int32_t(Le32(&f[22]));
    const int bits = Le16(&f[28]);
    const uint32_t compression = Le32(&f[30]), used = Le32(&f[46]);
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -int64_t(rawHeight) : rawHeight;
    if (compression != 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24))
        return Fail(error, "BMP not uncompressed 1, 4, 8 or 24 bits per pixel");
    if (width <= 0 || height <= 0 || width > MAX_SIDE || height > MAX_SIDE)
        return Fail(error, "BMP size out of range");
    const size_t colors = bits == 24 ? 0 : used ? used : size_t(1) << bits;
    const size_t paletteAt = 14 + size_t(headerSize);
    const size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    if (colors > 256 || paletteAt + colors * 4 > pixelsAt || pixelsAt + stride * size_t(height) > f.size())
        return Fail(error, "BMP palette or pixels outside the file");
    bool gray = bits != 24;
    for (size_t i = 0; i < colors; ++i) {
        const uint8_t* q = &f[paletteAt + 4 * i];
        gray = gray && q[0] == q[1] && q[1] == q[2];
    }
    *image = Image(width, int(height), gray ? 1 : 3);
    for (int y = 0; y < int(height); ++y) {
        const uint8_t* row = &f[pixelsAt + stride * size_t(topDown ? y : int(height) - 1 - y)];
        for (int x = 0; x < width; ++x) {
            uint8_t rgb[3];
            if (bits == 24) {
                rgb[0] = row[3 * x + 2], rgb[1] = row[3 * x + 1], rgb[2] = row[3 * x];
            } else {
                const size_t bit = size_t(x) * bits;
                const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= colors)
                    return Fail(error, "BMP pixel beyond its palette");
                const uint8_t* q = &f[paletteAt + 4 * index];
                rgb[0] = q[2], rgb[1] = q[1], rgb[2] = q[0];
            }
            for (int c = 0; c < image->channels; ++c)
                image->at(x, y, c) = rgb[c];
        }
    }
    return true;
}

// The next header number of a PNM file, past blanks and comments.
bool PnmNumber(const std::vector<uint8_t>& f, size_t* at, int* value)
{
    while (*at < f.size() && (isspace(f[*at]) || f[*at] == '#')) {
        if (f[*at] == '#')
            while (*at < f.size() && f[*at] != '\n')
                ++*at;
        else
            ++*at;
    }
    if (*at >= f.size() || !isdigit(f[*at]))
        return false;
    long v = 0;
    while (*at < f.size() && isdigit(f[*at]) && v <= MAX_SIDE)
        v = v * 10 + (f[(*at)++] - '0');
    *value = int(v);
    return v <= MAX_SIDE;
}

bool DecodePnm(const std::vector<uint8_t>& f, Image* image, std::string* error)
{
    const char kind = f[1];
    size_t at = 2;
    int width = 0, height = 0, maximum = 1;
    if (!PnmNumber(f, &at, &width) || !PnmNumber(f, &at, &height) ||
        (kind != '4' && !PnmNumber(f, &at, &maximum)))
        return Fail(error, "PNM header unreadable");
    if (width <= 0 || height <= 0 || (kind != '4' && maximum != 255))
        return Fail(error, "PNM not 8 bits per sample");
    ++at; // the one blank before the samples
    const int channels = kind == '6' ? 3 : 1;
    const size_t stride = kind == '4' ? (size_t(width) + 7) / 8 : size_t(width) * channels;
    if (at + stride * height > f.size())
        return Fail(error, "PNM samples run past the end of the file");
    *image = Image(width, height, channels);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = &f[at + stride * y];
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                image->at(x, y, c) = kind == '4' ? ((row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255)
                                                 : row[x * channels + c];
    }
    return true;
}

} // namespace

double Image::level(int x, int y) const
{
    if (channels == 1)
        return at(x, y, 0);
    return (at(x, y, 0) + at(x, y, 1) + at(x, y, 2)) / 3.0;
}

bool ReadImage(const std::string& path, Image* image, std::string* error)
{
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, &bytes))
        return Fail(error, "cannot read the file");
    if (bytes.size() > 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return DecodeBmp(bytes, image, error);
    if (bytes.size() > 2 && bytes[0] == 'P' && (bytes[1] == '4' || bytes[1] == '5' || bytes[1] == '6'))
        return DecodePnm(bytes, image, error);
    return Fail(error, "neither a BMP nor a binary PNM file");
}

bool WritePnm(const std::string& path, const Image& image)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    fprintf(f, "P%c\n%d %d\n255\n", image.channels == 1 ? '5' : '6', image.width, image.height);
    bool ok = fwrite(image.pixels.data(), 1, image.pixels.size(), f) == image.pixels.size();
    ok = fclose(f) == 0 && ok;
    if (!ok)
        remove(path.c_str()); // no half-written picture
    return ok;
}

} // namespace fidelity
