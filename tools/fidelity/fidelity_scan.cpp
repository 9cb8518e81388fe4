// fidelity_scan: scans the benchmark's cards through kestrel.ds with plover and wren on
// the simulated scanners and writes the images with their case list (cases.txt) for
// fidelity_compare.
//   fidelity_scan OUTPUT-FOLDER [before] [after]
// Each phase calibrates both scanners with the white card first. "before" then removes
// plover's colour LED times, which gives colour pages as they were before the white
// balance; "after" keeps them. Both phases when none is named. Run from the build's bin
// folder under the Wine environment (scripts/run-fidelity.sh does).
#include "road.h"
#include "scansim.h"
#include "support/dialog_dismisser.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <string>
#include <vector>

using namespace fidelity;

namespace {

struct DriverCases {
    const Scanner* scanner;
    std::vector<const char*> modes;
    std::vector<int> dpis;
};
const DriverCases kMatrix[] = {
    {&kPlover, {"rgb", "gray", "bw"}, {150, 300, 600}},
    {&kWren, {"gray", "bw"}, {100, 300, 600, 1200}},
};
struct CardName {
    const char* name;
    int id;
};
const CardName kCards[] = {{"fiducial", SCANSIM_CARD_FIDUCIAL}, {"white", SCANSIM_CARD_WHITE}, {"gray", SCANSIM_CARD_GRAY}};

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: fidelity_scan OUTPUT-FOLDER [before] [after]\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::vector<std::string> phases(argv + 2, argv + argc);
    if (phases.empty())
        phases = {"before", "after"};
    for (const std::string& phase : phases)
        if (phase != "before" && phase != "after") {
            fprintf(stderr, "fidelity_scan: unknown phase %s (before or after)\n", phase.c_str());
            return 2;
        }
    std::string list = "# road driver mode dpi card phase file\n";
    int failures = 0, scans = 0;
    DialogDismisser dismisser;
    scansim_reset();
    for (const std::string& phase : phases) {
        const auto phaseStart = std::chrono::steady_clock::now();
        for (const DriverCases& d : kMatrix) {
            if (!Calibrate(*d.scanner)) {
                fprintf(stderr, "%s: calibration of %s failed\n", phase.c_str(), d.scanner->driver);
                ++failures;
                continue;
            }
            if (phase == "before" && d.scanner == &kPlover)
                DeleteFileA(PloverBalanceFile().c_str());
            for (const char* mode : d.modes)
                for (int dpi : d.dpis)
                    for (const CardName& card : kCards) {
                        const std::string name = std::string(d.scanner->driver) + "_" + mode + "_" +
                                                 std::to_string(dpi) + "_" + card.name + "_" + phase + ".bmp";
                        Plug(*d.scanner, card.id);
                        const auto start = std::chrono::steady_clock::now();
                        const std::string error = ScanCard(mode, dpi, folder + "\\" + name);
                        ++scans;
                        if (!error.empty()) {
                            fprintf(stderr, "%s: %s failed: %s\n", phase.c_str(), name.c_str(), error.c_str());
                            ++failures;
                            continue;
                        }
                        printf("%-6s %-6s %-4s %4d %-8s %.1f s\n", phase.c_str(), d.scanner->driver, mode, dpi,
                               card.name, Since(start));
                        fflush(stdout);
                        list += std::string("kestrel ") + d.scanner->driver + " " + mode + " " + std::to_string(dpi) +
                                " " + card.name + " " + phase + " " + name + "\n";
                    }
        }
        printf("phase %s: %.0f s\n", phase.c_str(), Since(phaseStart));
    }
    const std::string listPath = folder + "\\cases.txt";
    FILE* f = fopen(listPath.c_str(), "wb");
    if (!f || fwrite(list.data(), 1, list.size(), f) != list.size()) {
        fprintf(stderr, "fidelity_scan: cannot write %s\n", listPath.c_str());
        ++failures;
    }
    if (f)
        fclose(f);
    const size_t boxes = dismisser.Texts().size();
    printf("%d scans, %d failed, %zu message boxes\n", scans, failures, boxes);
    return failures || boxes ? 1 : 0;
}
