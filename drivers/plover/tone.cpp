// Tone tables: the caller's table of IO_AdjustChannelValue and the driver's own.
#include "tone.h"

#include <math.h>

namespace plover {

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

} // namespace

void BuildToneTable(uint8_t table[256], int brightness, int contrast, int gamma, int highlight,
                    int shadow, ToneKind kind)
{
    brightness = Clamp(brightness, -100, 100);
    contrast = Clamp(contrast, -100, 100);
    highlight = Clamp(highlight, 1, 255);
    shadow = Clamp(shadow, 0, 254);
    int g = gamma <= 10 ? 10 * gamma - 100 : (gamma - 10) * 100 / 90;
    g = Clamp(g, -100, 100);
    double exponent = 1.0 / (1.0 + (g < 0 ? 0.0099 : 0.0699) * g);
    int lift = kind == TONE_CALLER ? brightness + 100 : brightness;
    int c = kind == TONE_CALLER ? contrast : contrast + 40;
    // The divisor 255 - 2c must stay positive: contrast stretches up to a threshold.
    if (255 - 2 * c < 1)
        c = 127;
    if (shadow >= highlight)
        highlight = shadow + 1;
    for (int i = 0; i < 256; ++i) {
        int v = int(pow(i / 255.0, exponent) * 255.0 + 0.5) + lift;
        if (v < 0) {
            v = 0;
        } else if (v > 255) {
            v = 255;
        } else {
            v = ((v - c) * 255 + (255 - 2 * c) / 2) / (255 - 2 * c);
            if (v > 255)
                v = 255;
            else if (v <= 0)
                v = 0;
        }
        v = Clamp(v, shadow, highlight);
        table[i] = uint8_t((v - shadow) * 255 / (highlight - shadow));
    }
}

} // namespace plover
