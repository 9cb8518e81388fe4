#include "report.h"

#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

namespace fidelity {

namespace {

std::string Channels(const FlatFigures& f)
{
    if (!f.measured)
        return "-";
    char text[64];
    if (f.channels == 3)
        snprintf(text, sizeof text, "%.1f/%.1f/%.1f", f.mean[0], f.mean[1], f.mean[2]);
    else
        snprintf(text, sizeof text, "%.1f", f.mean[0]);
    return text;
}

std::string Figure(bool known, const char* format, double a, double b = 0)
{
    if (!known)
        return "-";
    char text[64];
    snprintf(text, sizeof text, format, a, b);
    return text;
}

bool SameBytes(const std::string& a, const std::string& b)
{
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb)
        return false;
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

bool ChannelsTogether(const Row& r) { return r.white.channelSpread() <= 2; }
bool WhiteInRange(const Row& r)
{
    for (int c = 0; c < 3; ++c)
        if (r.white.mean[c] < 240 || r.white.mean[c] > 252)
            return false;
    return true;
}
bool FewClipped(const Row& r) { return r.white.clipped <= 0.1; }
bool GrayNeutral(const Row& r) { return r.gray.channelSpread() <= 2; }
bool PatchesKept(const Row& r) { return r.patches.kept == SCANSIM_PATCH_COUNT; }

struct ColourTarget {
    const char* miss;
    bool (*met)(const Row&);
};
const ColourTarget kColourTargets[] = {
    {"channels apart", ChannelsTogether}, {"white outside 240-252", WhiteInRange},
    {"clipped", FewClipped}, {"gray not neutral", GrayNeutral}, {"patches lost", PatchesKept}};

} // namespace

void PrintTable(const std::vector<Row>& rows, const std::string& phase)
{
    printf("\n### %s\n\n", phase.c_str());
    printf("| road | driver | mode | dpi | white point R/G/B | channel spread white / gray | clipped %% "
           "| ramp error mean / worst | ramp least step | column noise white / gray | error in card "
           "| mark error px | edge rise across / along px (truth) |\n");
    printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        if (r.phase != phase)
            continue;
        printf("| %s | %s | %s | %d ", r.road.c_str(), r.driver.c_str(), r.mode.c_str(), r.dpi);
        if (!r.problem.empty() && !r.marks.found) {
            printf("| %s |||||||||\n", r.problem.c_str());
            continue;
        }
        // Black and white: clipping, steps and column means say nothing of a threshold.
        const bool bw = r.mode == "bw", both = r.white.measured && r.gray.measured;
        const std::string rise = Figure(r.edges.measured, "%.2f / %.2f", r.edges.across, r.edges.along) +
                                 Figure(r.truthEdges.measured, " (%.2f / %.2f)", r.truthEdges.across,
                                        r.truthEdges.along);
        printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", Channels(r.white).c_str(),
               Figure(both, "%.1f / %.1f", r.white.channelSpread(), r.gray.channelSpread()).c_str(),
               Figure(r.white.measured && !bw, "%.3f", r.white.clipped).c_str(),
               Figure(true, "%.1f / %.1f", r.ramp.meanError, r.ramp.worstError).c_str(),
               Figure(!bw, "%+.1f", r.ramp.smallestStep).c_str(),
               Figure(both && !bw, "%.2f / %.2f", r.white.columnSpread, r.gray.columnSpread).c_str(),
               Figure(true, "%.1f", r.meanError).c_str(), Figure(true, "%.2f", r.marks.worstError).c_str(),
               bw ? "-" : rise.c_str());
        if (!r.problem.empty())
            printf("\n(%s %s %d: %s)\n", r.driver.c_str(), r.mode.c_str(), r.dpi, r.problem.c_str());
    }
}

void PrintColourTargets(const std::vector<Row>& rows)
{
    printf("\n### Colour targets\n\n");
    printf("| phase | road | driver | dpi | white R/G/B | white spread | clipped %% | gray card R/G/B "
           "| gray spread | patches kept | verdict |\n");
    printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        if (r.mode != "rgb" || !r.white.measured || !r.gray.measured)
            continue;
        std::string misses;
        for (const ColourTarget& t : kColourTargets)
            if (!t.met(r))
                misses += std::string(misses.empty() ? "" : ", ") + t.miss;
        const FlatFigures& w = r.white;
        printf("| %s | %s | %s | %d | %s | %.1f | %.3f | %s | %.1f | %d of %d | %s |\n", r.phase.c_str(), r.road.c_str(),
               r.driver.c_str(), r.dpi, Channels(w).c_str(), w.channelSpread(), w.clipped, Channels(r.gray).c_str(),
               r.gray.channelSpread(), r.patches.kept, SCANSIM_PATCH_COUNT, misses.empty() ? "met" : misses.c_str());
    }
}

void PrintDetails(const std::vector<Row>& rows)
{
    printf("\n### Details: where the card's corner lies in the image (pixels), the range of the column "
           "means on the white and gray cards, the gray ramp step by step, scan (faithful)\n\n");
    for (const Row& r : rows) {
        if (!r.marks.found)
            continue;
        const Placement& p = r.marks.placement;
        printf("%-6s %-7s %-6s %-4s %4d: corner %+.2f %+.2f, columns %s / %s, ramp", r.phase.c_str(), r.road.c_str(),
               r.driver.c_str(), r.mode.c_str(), r.dpi, -p.x0 / p.ratio, -p.y0 / p.ratio,
               Figure(r.white.measured, "%.1f", r.white.columnRange).c_str(),
               Figure(r.gray.measured, "%.1f", r.gray.columnRange).c_str());
        for (int k = 0; k < SCANSIM_RAMP_STEPS; ++k)
            printf(" %.1f(%.1f)", r.ramp.scan[k], r.ramp.expected[k]);
        printf("\n");
    }
}

void PrintIdentity(const std::vector<Case>& cases)
{
    std::map<std::tuple<std::string, std::string, std::string, int, std::string>, std::string> first;
    int same = 0, compared = 0;
    std::string differing;
    for (const Case& c : cases) {
        if (c.mode == "rgb")
            continue;
        auto key = std::make_tuple(c.road, c.driver, c.mode, c.dpi, c.card);
        auto it = first.find(key);
        if (it == first.end()) {
            first[key] = c.file;
            continue;
        }
        ++compared;
        if (SameBytes(it->second, c.file))
            ++same;
        else
            differing += "  " + c.file + "\n";
    }
    if (compared > 0)
        printf("\nGray and black-and-white images identical across phases: %d of %d\n%s", same, compared,
               differing.c_str());
}

} // namespace fidelity
