// A page from sane_start to its end, and the calibrate button: the drivers' calls in
// the order the Windows data source makes them, their outcomes as SANE statuses.
#pragma once

#include "scanner.h"

namespace kestrel_sane {

// sane_start: holds the device, checks calibration and paper, starts the page and
// reads its first block (the slow part: feeding, finding the sheet).
SANE_Status StartPage(Scanner& s);
// sane_read: hands out what the driver delivered, reading one more block when all is
// handed out; at the page's end the sheet is fed out (EOF, or JAMMED if it stays).
SANE_Status ReadPage(Scanner& s, SANE_Byte* data, SANE_Int most, SANE_Int* length);
// Ends an open page at once: the sheet ejected, the device let go.
void CancelPage(Scanner& s);
// The calibrate button: the white card in the feeder is measured and ejected.
SANE_Status Calibrate(Scanner& s);

} // namespace kestrel_sane
