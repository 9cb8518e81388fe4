// Scan result codes: the single small integer every scan path ends in, how a
// driver's failure value becomes one, and the user message of each.
#pragma once

enum ScanResult {
    SCAN_GENERAL_FAILURE = 0,   // also an unknown driver value
    SCAN_START_FAILED    = 1,
    SCAN_NOT_ANSWERING   = 2,
    SCAN_PAPER_NOT_FED   = 3,   // fewer than SCAN_MINIMUM_LINES lines arrived
    SCAN_CANCELLED       = 4,
    SCAN_NO_PAPER        = 5,
    SCAN_PAPER_JAM       = 6,
    SCAN_DISK_ERROR      = 7,
    SCAN_PORT_BUSY       = 8,
    SCAN_OUT_OF_MEMORY   = 9,
    SCAN_SUCCESS         = 10,
};

// A buffer for GetScanErrorCode must hold the longest message of any language.
enum { SCAN_MESSAGE_BUFFER_SIZE = 369 };

// Codes 0..9: copies the message of the current language into `text` (at most
// SCAN_MESSAGE_BUFFER_SIZE bytes) and returns true. Codes 10 and above: leaves
// `text` alone, false. Negative codes: a fixed "coding error" text, true. A NULL
// `text` receives nothing: false.
bool GetScanErrorCode(int code, char* text);

// Number of the text-table entry that carries the message of code 0..9; 0 otherwise.
int ScanErrorTextNumber(int code);

// Turns a failure value of a driver (0 or less, not the end-of-page value) into
// a scan result code; tells the user and the log what came back. Values outside
// -9..-1 (including any count a driver had no business returning) give code 0.
int SetErroecode(int driverResult);
