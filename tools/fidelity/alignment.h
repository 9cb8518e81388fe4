// Placing an image on the fiducial card by its five marks.
#pragma once

#include "card.h"

namespace fidelity {

struct MarkFit {
    bool found = false;
    Placement placement;     // the shift that puts the marks best on their truth
    double worstError = 0;   // pixels: the mark farthest from its place after the shift
};

// Finds the marks near their nominal places (the card's corner at the image's corner,
// give or take an eighth of an inch), then shifts the placement until the marks' centroids
// match those of the truth rendered at it.
MarkFit FitMarks(const Image& scan, int dpi);

} // namespace fidelity
