#include "image_output.h"

#include <windows.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "bmp_output.h"
#include "wic_output.h"

ImageFormat FormatForName(const std::string& path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    auto endsWith = [&](const char* suffix) {
        const size_t n = strlen(suffix);
        return lower.size() >= n && lower.compare(lower.size() - n, n, suffix) == 0;
    };
    if (endsWith(".png"))
        return ImageFormat::Png;
    if (endsWith(".tif") || endsWith(".tiff"))
        return ImageFormat::Tiff;
    return ImageFormat::Bmp;
}

bool WriteImageFile(const std::string& path, const void* dib, size_t size, int dpi,
                    std::string* error)
{
    if (size < sizeof(BITMAPINFOHEADER)) {
        *error = "the image block is too small to hold a bitmap";
        return false;
    }
    BITMAPINFOHEADER info;
    memcpy(&info, dib, sizeof(info));
    if (info.biSize < sizeof(BITMAPINFOHEADER) || info.biSize > size || info.biWidth <= 0 ||
        info.biHeight == 0 || info.biPlanes != 1 || info.biCompression != BI_RGB ||
        (info.biBitCount != 1 && info.biBitCount != 8 && info.biBitCount != 24)) {
        *error = "the image block is not a 1-, 8- or 24-bit uncompressed bitmap";
        return false;
    }
    const LONG ppm = dpi > 0 ? static_cast<LONG>(dpi * 10000L / 254) : 0;
    const ImageFormat format = FormatForName(path);
    if (format == ImageFormat::Bmp) {
        if (info.biXPelsPerMeter > 0 || ppm == 0)
            return WritePackedDibAsBmp(path, dib, size, error);
        // Keep the scan's resolution in a header that came without one.
        std::vector<unsigned char> copy(static_cast<const unsigned char*>(dib),
                                        static_cast<const unsigned char*>(dib) + size);
        info.biXPelsPerMeter = info.biYPelsPerMeter = ppm;
        memcpy(copy.data(), &info, sizeof(info));
        return WritePackedDibAsBmp(path, copy.data(), copy.size(), error);
    }

    size_t colors = info.biClrUsed;
    if (colors == 0 && info.biBitCount <= 8)
        colors = size_t(1) << info.biBitCount;
    const size_t stride = ((size_t(info.biWidth) * info.biBitCount + 31) / 32) * 4;
    const size_t rows = size_t(info.biHeight < 0 ? -info.biHeight : info.biHeight);
    const size_t pixelOffset = info.biSize + colors * sizeof(RGBQUAD);
    if (colors > 256 || pixelOffset > size || (size - pixelOffset) / stride < rows) {
        *error = "the image block is shorter than its header says";
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(dib);
    int resolution = dpi;
    if (info.biXPelsPerMeter > 0)
        resolution = static_cast<int>((info.biXPelsPerMeter * 254L + 5000) / 10000);
    return WriteWicFile(path, format == ImageFormat::Tiff, info,
                        reinterpret_cast<const RGBQUAD*>(bytes + info.biSize), bytes + pixelOffset,
                        resolution, error);
}
