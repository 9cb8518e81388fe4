// The case list: which image shows which card, scanned how. One line per image:
//   road driver mode dpi card phase file
// e.g. "kestrel plover rgb 150 fiducial after plover_rgb_150_fiducial_after.bmp";
// mode rgb, gray or bw; card fiducial, white or gray; the file relative to the list.
// '#' starts a comment line. Any road that writes images and this list can be measured.
#pragma once

#include <string>
#include <vector>

namespace fidelity {

struct Case {
    std::string road, driver, mode, card, phase, file;
    int dpi = 0;
    int cardId = 0; // SCANSIM_CARD_*
};

// False with the line and reason of the first line that is not a case.
bool ReadCases(const std::string& path, std::vector<Case>* cases, std::string* error);

} // namespace fidelity
