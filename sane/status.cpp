#include "status.h"

namespace kestrel_sane {

namespace {

struct OutcomeRow {
    Outcome outcome;
    SANE_Status status;
    const char* text;
};

const OutcomeRow kOutcomes[] = {
    {Outcome::NoScanner, SANE_STATUS_IO_ERROR, "the scanner does not answer (unplugged, or no permission to open it)"},
    {Outcome::Busy, SANE_STATUS_DEVICE_BUSY, "another program is using the scanner"},
    {Outcome::NeedsCalibration, SANE_STATUS_INVAL, "the scanner needs calibrating first"},
    {Outcome::NoPaper, SANE_STATUS_NO_DOCS, "no card in the feeder"},
    {Outcome::PageRefused, SANE_STATUS_IO_ERROR, "the driver did not start the page"},
    {Outcome::NotAnswering, SANE_STATUS_IO_ERROR, "the scanner stopped answering"},
    {Outcome::NoMemory, SANE_STATUS_NO_MEM, "out of memory"},
    {Outcome::Jammed, SANE_STATUS_JAMMED, "the card did not leave the feeder"},
    {Outcome::CalibrationFailed, SANE_STATUS_IO_ERROR, "the calibration measured nothing"},
    {Outcome::Cancelled, SANE_STATUS_CANCELLED, "cancelled"},
};

const OutcomeRow& RowOf(Outcome outcome)
{
    for (const OutcomeRow& row : kOutcomes)
        if (row.outcome == outcome)
            return row;
    return kOutcomes[0];
}

} // namespace

SANE_Status StatusOf(Outcome outcome) { return RowOf(outcome).status; }
const char* TextOf(Outcome outcome) { return RowOf(outcome).text; }

Outcome OutcomeOfBegin(BeginResult result)
{
    return result == BeginResult::Busy ? Outcome::Busy : Outcome::NoScanner;
}

Outcome OutcomeOfStartPage(int result, bool paperOn)
{
    if (result == IO_NO_MEMORY)
        return Outcome::NoMemory;
    return paperOn ? Outcome::PageRefused : Outcome::NoPaper;
}

Outcome OutcomeOfBlock(short result, bool firstBlock)
{
    if (result == IO_NO_MEMORY)
        return Outcome::NoMemory;
    if (result == IO_PAGE_ENDED && firstBlock)
        return Outcome::NoPaper; // the page found no sheet's leading edge
    return Outcome::NotAnswering;
}

} // namespace kestrel_sane
