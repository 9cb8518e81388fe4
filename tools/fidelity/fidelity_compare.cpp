// fidelity_compare: measures scanned cards against the cards' truth and prints the report.
//   fidelity_compare CASES.txt [PICTURE-FOLDER]
// Each row of the report is one road, driver, mode, resolution and phase of the case
// list (cases.h); rows.h says what is measured, report.h what is printed.
#include "report.h"

#include <stdio.h>

#include <algorithm>
#include <chrono>

using namespace fidelity;

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: fidelity_compare CASES.txt [PICTURE-FOLDER]\n");
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    std::vector<Case> cases;
    std::string error;
    if (!ReadCases(argv[1], &cases, &error)) {
        fprintf(stderr, "fidelity_compare: %s\n", error.c_str());
        return 2;
    }
    std::vector<Row> rows = GroupRows(cases);
    for (Row& r : rows)
        Analyse(r, argc > 2 ? argv[2] : "");
    std::vector<std::string> phases;
    for (const Row& r : rows)
        if (std::find(phases.begin(), phases.end(), r.phase) == phases.end())
            phases.push_back(r.phase);
    for (const std::string& phase : phases)
        PrintTable(rows, phase);
    PrintColourTargets(rows);
    PrintDetails(rows);
    PrintIdentity(cases);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    printf("\n%zu images measured in %.1f s\n", cases.size(), seconds);
    return 0;
}
