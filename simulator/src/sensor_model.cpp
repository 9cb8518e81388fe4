#include "sensor_model.h"

#include <math.h>
#include <stdlib.h>

namespace scansim {

namespace {

// offset, pixels, origin, face down, CCD line rule, serial delay, LED per colour, light, LED shares,
// dark base and spread, sensitivity base and spread, seed
const SensorGeometry kCcd = {24, 1376, 1320, true, true, true, true, 0.2661, {0.36, 0.34, 0.30}, 6.0, 6.0, 0.80, 0.20,
                             0x5CA1AB1E0CCDull};
const SensorGeometry kCis0 = {15, 2700, 18, false, false, false, false, 0.2320, {0.0, 0.0, 1.0}, 2.0, 1.5, 0.90, 0.18,
                              0xC15C15C150ull};
const SensorGeometry kCis1 = {15, 2700, 18, false, false, false, false, 0.2320 * 0.607, {0.0, 0.0, 1.0}, 2.5, 1.5, 0.90,
                              0.18, 0xC15C15C151ull};

uint64_t splitmix(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double unit(uint64_t& state) { return double(splitmix(state) >> 11) * (1.0 / 9007199254740992.0); }

} // namespace

const SensorGeometry& geometryOf(Kind kind)
{
    switch (kind) {
    case Kind::Ccd: return kCcd;
    case Kind::Cis0: return kCis0;
    default: return kCis1;
    }
}

PixelResponse makePixelResponse(Kind kind)
{
    const SensorGeometry& g = geometryOf(kind);
    PixelResponse r;
    r.dark.resize(g.pixelCount);
    r.sensitivity.resize(g.pixelCount);
    uint64_t state = g.seed;
    for (int p = 0; p < g.pixelCount; ++p) {
        double ripple = 0.5 + 0.5 * sin(p * 6.283185307179586 / 311.0);
        r.dark[p] = float(g.darkBase + g.darkSpread * (0.6 * unit(state) + 0.4 * ripple));
        r.sensitivity[p] = float(g.sensBase + g.sensSpread * (0.7 * unit(state) + 0.3 * ripple)) - 0.1f;
    }
    // A few streaks far weaker than the rest: bands of about 20 pixels with soft edges,
    // so that tables averaged over neighbouring pixels still correct them. None near
    // the sheet's edges, so edge measurements see a clean step.
    for (int k = 0; k < 10; ++k) {
        int centre = 130 + k * 108 + int(unit(state) * 70); // bands never overlap
        for (int d = -12; d <= 12; ++d) {
            double depth = d * d <= 36 ? 0.5 : 0.5 + 0.5 * (double(abs(d)) - 6.0) / 7.0;
            r.sensitivity[centre + d] *= float(depth);
        }
    }
    return r;
}

double pixelNoise(uint64_t line, int pixel, double amplitude)
{
    uint64_t state = line * 0x100000001B3ull + uint64_t(pixel) * 0x9E3779B1ull + 0x1234567ull;
    return (unit(state) * 2.0 - 1.0) * amplitude;
}

double analogGain(uint8_t code) { return 0.5 + (code & 0x3F) / 32.0; }

double analogOffset(uint8_t code)
{
    code &= 0x3F;
    return code >= 32 ? -double(code - 31) : double(code);
}

} // namespace scansim
