#include "rows.h"

#include <stdio.h>

#include <algorithm>

namespace fidelity {

namespace {

enum : int { FLAT_MARGIN = 30, PICTURE_GAP = 4 }; // card units, pixels

CardSlot SlotOf(int card)
{
    return card == SCANSIM_CARD_WHITE ? WHITE : card == SCANSIM_CARD_GRAY ? GRAY : FIDUCIAL;
}

bool Load(const std::string& file, Image* image, std::string* problem)
{
    std::string error;
    if (file.empty() || ReadImage(file, image, &error))
        return !file.empty();
    *problem = file + ": " + error;
    return false;
}

Image SideBySide(const Image& scan, const Image& expected, bool binary)
{
    const int w = scan.width;
    Image out(3 * w + 2 * PICTURE_GAP, scan.height, scan.channels);
    std::fill(out.pixels.begin(), out.pixels.end(), 128);
    for (int y = 0; y < scan.height; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < scan.channels; ++c) {
                const int s = scan.at(x, y, c), e = expected.at(x, y, c);
                const bool undecided = binary && e == UNDECIDED;
                out.at(x, y, c) = uint8_t(s);
                out.at(w + PICTURE_GAP + x, y, c) = uint8_t(e);
                out.at(2 * (w + PICTURE_GAP) + x, y, c) =
                    uint8_t(undecided ? 128 : std::min(255, std::max(0, 128 + 2 * (s - e))));
            }
    return out;
}

} // namespace

std::vector<Row> GroupRows(const std::vector<Case>& cases)
{
    std::vector<Row> rows;
    for (const Case& c : cases) {
        auto same = [&](const Row& r) {
            return r.road == c.road && r.driver == c.driver && r.mode == c.mode && r.dpi == c.dpi && r.phase == c.phase;
        };
        auto it = std::find_if(rows.begin(), rows.end(), same);
        if (it == rows.end()) {
            Row r;
            r.road = c.road, r.driver = c.driver, r.mode = c.mode, r.dpi = c.dpi, r.phase = c.phase;
            rows.push_back(r);
            it = rows.end() - 1;
        }
        it->files[SlotOf(c.cardId)] = c.file;
    }
    return rows;
}

void Analyse(Row& row, const std::string& pictures)
{
    Image fiducial, white, gray;
    if (!Load(row.files[FIDUCIAL], &fiducial, &row.problem)) {
        if (row.problem.empty())
            row.problem = "no fiducial card";
        return;
    }
    row.channels = fiducial.channels;
    row.marks = FitMarks(fiducial, row.dpi);
    if (!row.marks.found) {
        row.problem = "marks not found";
        return;
    }
    const Placement& p = row.marks.placement;
    if (Load(row.files[WHITE], &white, &row.problem))
        row.white = MeasureFlat(white, InsideCard(p, white, FLAT_MARGIN));
    if (Load(row.files[GRAY], &gray, &row.problem))
        row.gray = MeasureFlat(gray, InsideCard(p, gray, FLAT_MARGIN));

    const Region whole{0, 0, fiducial.width, fiducial.height};
    const Image truth = RenderTruth(SCANSIM_CARD_FIDUCIAL, p, whole);
    // The card's own white: the white card's truth well inside its edges.
    const Image cardWhite = RenderTruth(SCANSIM_CARD_WHITE, p, CardRect(p, fiducial, 600, 1000, 700, 1100));
    if (truth.width == 0 || cardWhite.width == 0) {
        row.problem = "no truth from the simulator";
        return;
    }
    const double cardWhiteLevel = cardWhite.at(0, 0, 0);
    const bool binary = row.mode == "bw";
    const double whiteLevel = row.white.measured ? row.white.whitePoint() : 255.0;
    const Image expected = ExpectedImage(truth, fiducial.channels, cardWhiteLevel, whiteLevel, binary);
    row.meanError = MeanAbsoluteError(fiducial, expected, InsideCard(p, fiducial, p.ratio), binary);
    row.ramp = MeasureRamp(fiducial, expected, p, binary);
    if (fiducial.channels == 3)
        row.patches = MeasurePatches(fiducial, p);
    if (!binary) {
        row.edges = MeasureEdges(fiducial, p);
        row.truthEdges = MeasureEdges(expected, p);
    }
    if (!pictures.empty()) {
        const std::string name = pictures + "/" + row.road + "_" + row.driver + "_" + row.mode + "_" +
                                 std::to_string(row.dpi) + "_" + row.phase + (fiducial.channels == 3 ? ".ppm" : ".pgm");
        if (!WritePnm(name, SideBySide(fiducial, expected, binary)))
            fprintf(stderr, "fidelity_compare: cannot write %s\n", name.c_str());
    }
}

} // namespace fidelity
