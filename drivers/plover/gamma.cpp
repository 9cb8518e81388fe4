// Gamma download: a 5-point curve per channel, expanded to the chip's 4096 entries.
#include "gamma.h"

#include <stdio.h>

using namespace lm9831;

namespace plover {

namespace {

const int kDefaultX[5] = {0, 63, 127, 191, 255};
const int kDefaultY[5] = {0, 63, 127, 191, 275};
const uint8_t kGammaRegion[3] = {MEM_GAMMA_RED, MEM_GAMMA_GREEN, MEM_GAMMA_BLUE};
const char kChannelLetter[3] = {'R', 'G', 'B'};

// The curve through five points, evaluated at 0..255 (Lagrange), truncated and clamped.
void CurveTable(const int x[5], const int y[5], uint8_t out[256])
{
    for (int i = 0; i < 256; ++i) {
        double sum = 0;
        for (int k = 0; k < 5; ++k) {
            double term = y[k];
            for (int j = 0; j < 5; ++j)
                if (j != k)
                    term *= x[k] == x[j] ? 0.0 : double(i - x[j]) / double(x[k] - x[j]);
            sum += term;
        }
        int v = int(sum);
        out[i] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

void ExpandAndWrite(Device& d, uint8_t region, const uint8_t curve[256])
{
    uint8_t table[GAMMA_TABLE_SIZE];
    for (uint32_t e = 0; e < GAMMA_TABLE_SIZE; ++e)
        table[e] = curve[e / 16];
    WriteMemory(d, region, table, GAMMA_TABLE_SIZE);
}

} // namespace

void FillGammaTbl(PloverState& s, int mode)
{
    if (mode == MODE_BW) {
        uint8_t table[GAMMA_TABLE_SIZE];
        for (uint32_t e = 0; e < GAMMA_TABLE_SIZE; ++e)
            table[e] = e < GAMMA_TABLE_SIZE / 2 ? 0 : 255;
        for (uint8_t region : kGammaRegion)
            WriteMemory(s.device, region, table, GAMMA_TABLE_SIZE);
        return;
    }
    for (int c = 0; c < 3; ++c) {
        int x[5], y[5];
        for (int k = 0; k < 5; ++k) {
            char name[8];
            x[k] = kDefaultX[k];
            y[k] = kDefaultY[k] + s.settings.adjust[ADJUST_ALL].brightness;
            snprintf(name, sizeof name, "%cx%u", kChannelLetter[c], unsigned(k));
            ConfigGammaPoint(s.config, name, &x[k]);
            snprintf(name, sizeof name, "%cy%u", kChannelLetter[c], unsigned(k));
            ConfigGammaPoint(s.config, name, &y[k]);
        }
        uint8_t curve[256];
        CurveTable(x, y, curve);
        ExpandAndWrite(s.device, kGammaRegion[c], curve);
    }
}

void DownloadIdentityGamma(PloverState& s)
{
    uint8_t curve[256];
    for (int i = 0; i < 256; ++i)
        curve[i] = uint8_t(i);
    for (uint8_t region : kGammaRegion)
        ExpandAndWrite(s.device, region, curve);
}

} // namespace plover
