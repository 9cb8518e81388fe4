#include "cases.h"

#include "scansim.h"

#include <fstream>
#include <sstream>

namespace fidelity {

namespace {

struct CardName {
    const char* name;
    int id;
};
const CardName kCards[] = {
    {"fiducial", SCANSIM_CARD_FIDUCIAL}, {"white", SCANSIM_CARD_WHITE}, {"gray", SCANSIM_CARD_GRAY}};
const char* const kModes[] = {"rgb", "gray", "bw"};

} // namespace

bool ReadCases(const std::string& path, std::vector<Case>* cases, std::string* error)
{
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        Case c;
        std::string rest;
        bool ok = bool(words >> c.road >> c.driver >> c.mode >> c.dpi >> c.card >> c.phase >> c.file) &&
                  !(words >> rest) && c.dpi > 0 && c.dpi <= 9600;
        bool knownMode = false;
        for (const char* m : kModes)
            knownMode = knownMode || c.mode == m;
        for (const CardName& k : kCards)
            if (c.card == k.name)
                c.cardId = k.id;
        if (!ok || !knownMode || c.cardId == 0) {
            *error = path + ":" + std::to_string(number) + ": not a case: " + line;
            return false;
        }
        if (c.file[0] != '/')
            c.file = folder + c.file;
        cases->push_back(c);
    }
    return true;
}

} // namespace fidelity
