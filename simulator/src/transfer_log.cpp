#include "transfer_log.h"

#include <stdio.h>
#include <string.h>
#include <vector>

namespace scansim {

namespace {

struct LogRecord {
    ScanSimLogEntry entry;
    std::vector<uint8_t> bytes;
};

// A long session drops its older half rather than growing without end.
const uint32_t kLogLimit = 400000;

struct LogState {
    std::vector<LogRecord> records;
    uint32_t sequence = 0;
};

LogState g_log;

} // namespace

void logTransfer(int device, LogDirection direction, uint32_t requested, uint32_t transferred,
                 const uint8_t* bytes, uint32_t keep)
{
    if (g_log.records.size() >= kLogLimit)
        g_log.records.erase(g_log.records.begin(), g_log.records.begin() + kLogLimit / 2);
    LogRecord r;
    r.entry.sequence = g_log.sequence++;
    r.entry.device = device;
    r.entry.direction = direction;
    r.entry.requested = requested;
    r.entry.transferred = transferred;
    r.entry.storedBytes = keep;
    if (bytes && keep)
        r.bytes.assign(bytes, bytes + keep);
    g_log.records.push_back(std::move(r));
}

uint32_t logCount() { return uint32_t(g_log.records.size()); }

bool logEntry(uint32_t i, ScanSimLogEntry& entry, uint8_t* bytes, uint32_t capacity)
{
    if (i >= g_log.records.size())
        return false;
    const LogRecord& r = g_log.records[i];
    entry = r.entry;
    if (bytes && capacity)
        memcpy(bytes, r.bytes.data(), r.bytes.size() < capacity ? r.bytes.size() : capacity);
    return true;
}

void clearLog() { g_log.records.clear(); }

std::string logText()
{
    std::string text;
    char item[32];
    for (const LogRecord& r : g_log.records) {
        if (r.entry.direction == LOG_BULK_OUT) {
            text += "W";
            for (uint8_t b : r.bytes) {
                snprintf(item, sizeof item, " %02X", b);
                text += item;
            }
        } else {
            snprintf(item, sizeof item, "%s %u/%u", r.entry.direction == LOG_BULK_IN ? "R" : "C",
                     r.entry.transferred, r.entry.requested);
            text += item;
        }
        text += '\n';
    }
    return text;
}

} // namespace scansim
