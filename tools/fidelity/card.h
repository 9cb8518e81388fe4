// The card as the benchmark sees it: where an image lies on it, its parts in pixels,
// and its truth there (rendered by the simulator).
#pragma once

#include "image.h"

namespace fidelity {

// Card positions are in card units (1/600 inch) from the card's top-left corner.
// Pixel (i, j) of an image covers [x0 + i * ratio, x0 + (i + 1) * ratio) across and the
// same from y0 down; a position inside pixel i has the pixel coordinate i + fraction.
struct Placement {
    double x0 = 0, y0 = 0;
    double ratio = 1; // card units per pixel: 600 / dpi
    double column(double x) const { return (x - x0) / ratio; }
    double row(double y) const { return (y - y0) / ratio; }
};

// Pixels [x0, x1) x [y0, y1).
struct Region {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    long area() const { return empty() ? 0 : long(x1 - x0) * (y1 - y0); }
};

// The pixels wholly inside the card rectangle [left, right) x [top, bottom), within the image.
Region CardRect(const Placement& p, const Image& image, double left, double top, double right, double bottom);
// The pixels wholly on the card, `margin` card units inside its edges.
Region InsideCard(const Placement& p, const Image& image, double margin);

// The card's reflectance (3 channels, 255 = 1.0) over `r` of an image placed at `p`.
Image RenderTruth(int card, const Placement& p, const Region& r);

} // namespace fidelity
