#include "tables.h"

#include <math.h>

namespace wren {

namespace {

const uint8_t kTunedCurve[256] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 13, 16, 19, 22, 25, 27, 30, 32, 34, 36, 38, 42, 46, 47, 49,
    51, 52, 54, 56, 57, 59, 60, 62, 63, 65, 66, 69, 70, 72, 73, 74, 76, 77, 78, 81, 82, 83, 84, 86,
    88, 89, 90, 92, 93, 94, 95, 96, 97, 98, 99, 101, 102, 103, 104, 106, 107, 108, 110, 111, 112, 113,
    114, 115, 116, 117, 118, 119, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132, 133,
    135, 136, 137, 138, 139, 140, 141, 142, 143, 143, 144, 145, 146, 147, 149, 150, 150, 151, 152,
    153, 154, 155, 156, 157, 158, 159, 160, 160, 162, 163, 164, 165, 165, 166, 167, 168, 169, 169,
    170, 171, 172, 173, 174, 175, 176, 176, 177, 179, 180, 180, 181, 182, 183, 183, 184, 186, 186,
    187, 188, 189, 189, 190, 191, 192, 192, 193, 194, 195, 195, 196, 198, 199, 200, 200, 201, 202,
    203, 203, 204, 205, 205, 206, 207, 208, 209, 210, 210, 211, 212, 212, 213, 214, 214, 216, 217,
    217, 219, 219, 220, 221, 221, 222, 223, 223, 224, 225, 225, 226, 227, 227, 229, 229, 230, 231,
    231, 232, 233, 234, 235, 235, 236, 237, 237, 238, 239, 240, 240, 241, 242, 242, 243, 244, 244,
    245, 246, 246, 247, 247, 249, 250, 251, 251, 252, 253, 253, 254, 254, 255,
    255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
static_assert(sizeof kTunedCurve == 256, "256 entries");

struct SqrtCurve {
    uint8_t v[256];
    SqrtCurve()
    {
        for (int i = 0; i < 256; ++i)
            v[i] = uint8_t(255.0 * sqrt(i / 255.0) + 0.5);
    }
};

// Built when the module loads, never inside a call: a function-local static with a
// constructor takes the runtime's once-guard, and the statically linked thread
// runtime then keeps a descriptor (a duplicated thread handle and an event) for
// the calling thread that outlives every unload of this module.
const SqrtCurve kSqrtCurve;

const uint8_t kDiagonal8[64] = {
    114, 94,  140, 128, 185, 158, 55,  254, 121, 105, 147, 133, 214, 170, 77,  28,
    138, 126, 182, 155, 49,  206, 112, 90,  145, 131, 230, 167, 73,  21,  120, 103,
    178, 152, 41,  200, 109, 86,  136, 125, 220, 164, 67,  15,  118, 100, 144, 130,
    35,  195, 108, 82,  134, 123, 174, 149, 61,  0,   116, 97,  142, 129, 191, 161};
const uint8_t kSpeckle8[64] = {
    25, 138, 41, 202, 29, 148, 46, 255, 64, 5,   96, 13,  70, 7,   106, 15,
    33, 165, 18, 115, 37, 180, 21, 126, 78, 9,   52, 1,   86, 10,  57,  3,
    29, 148, 46, 255, 25, 138, 41, 202, 70, 7,   106, 15, 64, 5,   96,  13,
    37, 180, 21, 126, 33, 165, 18, 115, 86, 10,  57, 3,   78, 9,   52,  1};
const uint8_t kDiagonal4[16] = {136, 213, 0, 64, 81, 155, 227, 10, 27, 99, 173, 243, 255, 46, 117, 195};

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

} // namespace

const HalftonePattern kHalftones[HALFTONE_COUNT] = {
    {"8x8 Diagonal", 8, 8, kDiagonal8},
    {"8x8 Speckle", 8, 8, kSpeckle8},
    {"4x4 Diagonal", 4, 4, kDiagonal4},
};

const uint8_t* OutputCurve(int variant)
{
    return variant == 1 ? kSqrtCurve.v : kTunedCurve;
}

bool IsNeutralTone(int brightness, int contrast, int gamma, int highlight, int shadow)
{
    return brightness == 0 && contrast == 0 && gamma == 10 && highlight == 255 && shadow == 0;
}

void BuildToneTable(uint8_t table[256], int brightness, int contrast, int gamma, int highlight, int shadow)
{
    brightness = clamp(brightness, -100, 100);
    contrast = clamp(contrast, -100, 100);
    highlight = clamp(highlight, 1, 255);
    shadow = clamp(shadow, 0, 254);
    int g = gamma <= 10 ? 10 * gamma - 100 : (gamma - 10) * 100 / 90;
    g = clamp(g, -100, 100);
    const double exponent = 1.0 / (1.0 + (g < 0 ? 0.0099 : 0.0699) * g);
    if (shadow >= highlight)
        highlight = shadow + 1;
    const int divisor = 255 - 2 * contrast; // 55..455, never 0
    for (int i = 0; i < 256; ++i) {
        int v = brightness + int(pow(i / 255.0, exponent) * 255.0 + 0.5);
        // Clamped first, then contrast for every level, so the table has no step
        // where brightness pushes a level past the ends.
        v = clamp(v, 0, 255);
        v = ((v - contrast) * 255 + (255 - 2 * contrast) / 2) / divisor;
        v = clamp(v, 0, 255);
        v = clamp(v, shadow, highlight);
        table[i] = uint8_t((v - shadow) * 255 / (highlight - shadow));
    }
}

void FillDivisionTable(uint8_t* table)
{
    for (int v = 0; v < 256; ++v) {
        table[v * 256] = 0;
        for (int w = 1; w < 256; ++w) {
            int q = v * 255 / w;
            table[v * 256 + w] = uint8_t(q > 255 ? 255 : q);
        }
    }
}

} // namespace wren
