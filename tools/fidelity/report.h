// The benchmark's report, as Markdown: one table per phase, the colour targets, the
// details, and whether gray and black-and-white images changed across phases.
#pragma once

#include "rows.h"

namespace fidelity {

void PrintTable(const std::vector<Row>& rows, const std::string& phase);
// White within 2 levels across the channels, each 240..252, at most 0.1 % at 255; the
// gray card neutral within 2; every patch keeps its dominant channels.
void PrintColourTargets(const std::vector<Row>& rows);
// Where the card lies, the column means' range, the ramp step by step.
void PrintDetails(const std::vector<Row>& rows);
// Gray and black-and-white images of every phase against those of the first phase.
void PrintIdentity(const std::vector<Case>& cases);

} // namespace fidelity
