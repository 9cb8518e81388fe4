// The record of every transfer of every device, for tests and tools: whole writes,
// the first bytes of reads, control requests. Not locked itself: the C API holds the
// simulator's lock around every call.
#pragma once

#include "scansim.h"

#include <stdint.h>
#include <string>

namespace scansim {

enum LogDirection : int32_t { LOG_BULK_OUT = 0, LOG_BULK_IN = 1, LOG_CONTROL = 2 };

// Writes are kept whole, reads only their first bytes.
enum : uint32_t { LOG_READ_BYTES = 64 };

// Records a transfer with the first `keep` of its bytes.
void logTransfer(int device, LogDirection direction, uint32_t requested, uint32_t transferred,
                 const uint8_t* bytes, uint32_t keep);

uint32_t logCount();
// Copies entry i and up to `capacity` of its bytes; false past the end.
bool logEntry(uint32_t i, ScanSimLogEntry& entry, uint8_t* bytes, uint32_t capacity);
void clearLog();
// One transfer per line: "W 02 00 00 3C ..." for writes, "R 7626/7626", "C 8/8".
std::string logText();

} // namespace scansim
