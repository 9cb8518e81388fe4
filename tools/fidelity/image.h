// Images the benchmark compares: 8-bit gray or red-green-blue, top-down, and the files
// they come from and go to (BMP as the TWAIN road writes them, PNM as other roads do).
#pragma once

#include <stdint.h>
#include <string>
#include <vector>

namespace fidelity {

struct Image {
    int width = 0, height = 0;
    int channels = 0; // 1 gray, 3 red, green, blue
    std::vector<uint8_t> pixels;

    Image() = default;
    Image(int w, int h, int c) : width(w), height(h), channels(c), pixels(size_t(w) * h * c, 0) {}
    // Channel c of a pixel; a gray image answers its one value for every channel.
    uint8_t at(int x, int y, int c) const { return pixels[index(x, y, c)]; }
    uint8_t& at(int x, int y, int c) { return pixels[index(x, y, c)]; }
    // The mean of the pixel's channels.
    double level(int x, int y) const;

private:
    size_t index(int x, int y, int c) const
    {
        return (size_t(y) * width + x) * channels + (channels == 1 ? 0 : c);
    }
};

// An uncompressed BMP (1, 4, 8 or 24 bits per pixel; a palette of grays gives a gray
// image) or a binary PNM (P4, P5, P6); false with the reason when it is neither.
bool ReadImage(const std::string& path, Image* image, std::string* error);
// A binary PGM or PPM, by the image's channels.
bool WritePnm(const std::string& path, const Image& image);

} // namespace fidelity
