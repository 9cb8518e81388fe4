// The rows of the benchmark: the images of one road, driver, mode, resolution and phase
// (the fiducial, white and gray cards) and their figures.
#pragma once

#include "alignment.h"
#include "cases.h"
#include "figures.h"

#include <string>
#include <vector>

namespace fidelity {

enum CardSlot { FIDUCIAL, WHITE, GRAY, CARD_SLOTS };

struct Row {
    std::string road, driver, mode, phase;
    int dpi = 0;
    std::string files[CARD_SLOTS];
    std::string problem; // why figures are missing
    int channels = 0;
    FlatFigures white, gray;
    MarkFit marks;
    RampFigures ramp;
    PatchFigures patches;
    EdgeFigures edges, truthEdges;
    double meanError = 0;
};

// Rows in the order the list first names them.
std::vector<Row> GroupRows(const std::vector<Case>& cases);
// The row's figures: the fiducial card places the images on the card by its marks;
// the white and gray cards give the white point, channel spread, clipping and column
// noise; the fiducial card against its truth gives the ramp, the error inside the
// card, the marks' places and the sharpness of their edges. With a picture folder,
// one picture: scan | truth | difference (mid-gray: none; lighter: the scan is
// lighter; doubled).
void Analyse(Row& row, const std::string& pictures);

} // namespace fidelity
