// The built-in cards, generated at 600 dpi from the layout constants of scansim.h.
#include "sheet.h"

#include "scansim.h"

namespace scansim {

namespace {

const uint8_t kWhite = 230; // reflectance 0.90
const uint8_t kBlack = 10;

void fill(Sheet& s, int x0, int y0, int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    for (int y = y0; y < y0 + h; ++y) {
        if (y < 0 || y >= s.height)
            continue;
        for (int x = x0; x < x0 + w; ++x) {
            if (x < 0 || x >= s.width)
                continue;
            uint8_t* p = &s.rgb[(size_t(y) * s.width + x) * 3];
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    }
}

void blank(Sheet& s, uint8_t level)
{
    s.width = SCANSIM_CARD_WIDTH;
    s.height = SCANSIM_CARD_HEIGHT;
    s.dpi = 600;
    s.rgb.assign(size_t(s.width) * s.height * 3, level);
}

void drawFiducialCard(Sheet& s)
{
    blank(s, kWhite);
    for (int m = 0; m < SCANSIM_MARK_COUNT; ++m)
        fill(s, SCANSIM_MARK_X[m] - SCANSIM_MARK_SIZE / 2, SCANSIM_MARK_Y[m] - SCANSIM_MARK_SIZE / 2,
             SCANSIM_MARK_SIZE, SCANSIM_MARK_SIZE, kBlack, kBlack, kBlack);
    for (int k = 0; k < SCANSIM_RAMP_STEPS; ++k) {
        uint8_t v = uint8_t(kWhite * k / (SCANSIM_RAMP_STEPS - 1));
        fill(s, SCANSIM_RAMP_X + k * SCANSIM_RAMP_STEP_W, SCANSIM_RAMP_Y, SCANSIM_RAMP_STEP_W,
             SCANSIM_RAMP_H, v, v, v);
    }
    static const uint8_t patch[SCANSIM_PATCH_COUNT][3] = {
        {210, 30, 30}, {30, 200, 40}, {35, 45, 210}, {30, 200, 210}, {210, 40, 200}, {220, 210, 30}};
    for (int k = 0; k < SCANSIM_PATCH_COUNT; ++k)
        fill(s, SCANSIM_PATCH_X + k * SCANSIM_PATCH_W, SCANSIM_PATCH_Y, SCANSIM_PATCH_W - 12,
             SCANSIM_PATCH_H, patch[k][0], patch[k][1], patch[k][2]);
    // Text-like detail: rows of small glyph blocks with 2- and 4-pixel strokes.
    uint32_t state = 12345;
    for (int row = 0; row < 8; ++row) {
        int y = 1080 + row * 90;
        for (int x = 120; x < 1200; x += 36) {
            state = state * 1103515245u + 12345u;
            if ((state >> 16) % 5 == 0)
                continue; // a space between words
            int stroke = ((state >> 20) & 1) ? 2 : 4;
            fill(s, x, y, stroke, 48, kBlack, kBlack, kBlack);
            fill(s, x, y + ((state >> 8) % 3) * 20, 24, stroke, kBlack, kBlack, kBlack);
            if ((state >> 24) & 1)
                fill(s, x + 20, y, stroke, 48, kBlack, kBlack, kBlack);
        }
    }
}

} // namespace

bool makeCard(int card, Sheet& out)
{
    switch (card) {
    case SCANSIM_CARD_WHITE: blank(out, kWhite); return true;
    case SCANSIM_CARD_GRAY: blank(out, 115); return true;
    case SCANSIM_CARD_FIDUCIAL: drawFiducialCard(out); return true;
    default: return false;
    }
}

bool Sheet::reflectance(int x600, int y600, double out[3]) const
{
    if (x600 < 0 || y600 < 0 || width <= 0)
        return false;
    int x = int(int64_t(x600) * dpi / 600);
    int y = int(int64_t(y600) * dpi / 600);
    if (x >= width || y >= height)
        return false;
    const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    for (int c = 0; c < 3; ++c)
        out[c] = p[c] / 255.0;
    return true;
}

} // namespace scansim
