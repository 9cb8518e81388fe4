#include "environment.h"

#include "device_bank.h"

#include <ctype.h>
#include <stdlib.h>
#include <string>
#include <vector>

namespace scansim {

namespace {

bool g_configured = false; // by a control call, or from the environment

struct Name {
    const char* name;
    int code;
};

const Name kKindNames[] = {{"ccd", SCANSIM_KIND_CCD}, {"cis0", SCANSIM_KIND_CIS0}, {"cis1", SCANSIM_KIND_CIS1}};

const Name kCardNames[] = {{"white", SCANSIM_CARD_WHITE}, {"fiducial", SCANSIM_CARD_FIDUCIAL},
                           {"gray", SCANSIM_CARD_GRAY}};

const Name kFaultNames[] = {{"short_every", SCANSIM_FAULT_SHORT_EVERY},     {"short_from", SCANSIM_FAULT_SHORT_FROM},
                            {"disconnect_at", SCANSIM_FAULT_DISCONNECT_AT}, {"reconnect_after", SCANSIM_FAULT_RECONNECT_AFTER},
                            {"jam", SCANSIM_FAULT_JAM},                     {"sensor_stuck", SCANSIM_FAULT_SENSOR_STUCK},
                            {"sensor_flap", SCANSIM_FAULT_SENSOR_FLAP}};

// The code of a lower-case name in one of the tables above, 0 when it is not there.
template <size_t N>
int codeOf(const Name (&table)[N], const std::string& name)
{
    for (const Name& entry : table)
        if (name == entry.name)
            return entry.code;
    return 0;
}

std::string trim(const std::string& t)
{
    size_t a = t.find_first_not_of(" \t"), b = t.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : t.substr(a, b - a + 1);
}

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        size_t at = text.find(sep, from);
        parts.push_back(trim(text.substr(from, at == std::string::npos ? std::string::npos : at - from)));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

std::string lower(std::string t)
{
    for (char& c : t)
        c = char(tolower((unsigned char)c));
    return t;
}

struct Item {
    int index;
    std::string value;
    std::string text; // as given, for messages
};

// "0=a,1=b" -> (0, "a"), (1, "b"); an item without '=' or index is an error.
bool itemsOf(const char* text, std::vector<Item>& items, std::string& error)
{
    if (!text)
        return true;
    for (const std::string& item : split(text, ',')) {
        size_t eq = item.find('=');
        char* end = nullptr;
        long index = eq == std::string::npos ? -1 : strtol(item.c_str(), &end, 10);
        if (index < 0 || index >= SCANSIM_MAX_DEVICES || end != item.c_str() + eq) {
            if (!item.empty() && error.empty())
                error = "'" + item + "': expected N=VALUE with N from 0 to 126";
            continue;
        }
        items.push_back({int(index), item.substr(eq + 1), item});
    }
    return error.empty();
}

bool fail(std::string& error, const Item& item, const std::string& why)
{
    if (error.empty())
        error = "'" + item.text + "': " + why;
    return false;
}

// "ccd" or "cis1:0400:1001" (hexadecimal vendor and product ids).
bool attachDevice(const Item& item, std::string& error)
{
    std::vector<std::string> f = split(item.value, ':');
    int kind = codeOf(kKindNames, lower(f[0]));
    if (!kind || (f.size() != 1 && f.size() != 3))
        return fail(error, item, "expected ccd, cis0 or cis1, optionally with :VVVV:PPPP");
    uint16_t vid = SCANSIM_DEFAULT_VID;
    uint16_t pid = kind == SCANSIM_KIND_CCD ? SCANSIM_DEFAULT_PID_CCD : SCANSIM_DEFAULT_PID_CIS;
    if (f.size() == 3) {
        char *endV = nullptr, *endP = nullptr;
        unsigned long v = strtoul(f[1].c_str(), &endV, 16), p = strtoul(f[2].c_str(), &endP, 16);
        if (f[1].empty() || f[2].empty() || *endV || *endP || v > 0xFFFF || p > 0xFFFF)
            return fail(error, item, "ids are four hexadecimal digits");
        vid = uint16_t(v);
        pid = uint16_t(p);
    }
    return attach(item.index, kind, vid, pid);
}

// "fiducial", "white", "gray" or "file:<path of a BMP>".
bool makeSheet(const std::string& name, Sheet& sheet, std::string& why)
{
    if (int card = codeOf(kCardNames, lower(name)))
        return makeCard(card, sheet);
    if (lower(name.substr(0, 5)) == "file:")
        return loadBmp(name.substr(5).c_str(), sheet, why);
    why = "expected fiducial, white, gray or file:PATH";
    return false;
}

// The device an item names; null with the error when there is none.
Device* deviceOf(const Item& item, std::string& error)
{
    Device* d = deviceAt(item.index);
    if (!d)
        fail(error, item, "no device " + std::to_string(item.index));
    return d;
}

// "a" or a feeder stack "a+b+c": a goes into the paper path, b and c wait behind it.
bool insertSheets(const Item& item, std::string& error)
{
    Device* d = deviceOf(item, error);
    if (!d)
        return false;
    std::vector<std::string> names = split(item.value, '+');
    for (size_t i = 0; i < names.size(); ++i) {
        Sheet sheet;
        std::string why;
        if (!makeSheet(names[i], sheet, why))
            return fail(error, item, names[i] + ": " + why);
        if (i == 0)
            d->insertSheet(std::move(sheet));
        else
            d->stackSheet(std::move(sheet));
    }
    return true;
}

// "short_every:7", "jam:500", "sensor_flap".
bool setFault(const Item& item, std::string& error)
{
    Device* d = deviceOf(item, error);
    if (!d)
        return false;
    std::vector<std::string> f = split(item.value, ':');
    int fault = codeOf(kFaultNames, lower(f[0]));
    char* end = nullptr;
    uint32_t param = f.size() > 1 ? uint32_t(strtoul(f[1].c_str(), &end, 10)) : 0;
    if (!fault || f.size() > 2 || (end && *end))
        return fail(error, item, "expected a fault name and a decimal parameter");
    return d->setFault(fault, param);
}

// Every item of one setting through `apply`; all are tried, the first error is kept.
template <typename Apply>
void applyItems(const char* text, std::string& error, Apply apply)
{
    std::vector<Item> items;
    itemsOf(text, items, error);
    for (const Item& item : items) {
        try {
            apply(item, error);
        } catch (...) {
            fail(error, item, "out of memory"); // a card too large: the feeder stays empty
        }
    }
}

} // namespace

bool configure(const ConfigText& text, std::string& error)
{
    g_configured = true;
    error.clear();
    applyItems(text.devices, error, attachDevice);
    applyItems(text.sheets, error, insertSheets);
    applyItems(text.faults, error, setFault);
    return error.empty();
}

void configureFromEnvironment()
{
    if (g_configured)
        return;
    std::string ignored; // a demo's typing error leaves that item out, as always
    configure({getenv("SCANSIM_DEVICES"), getenv("SCANSIM_SHEET"), getenv("SCANSIM_FAULTS")}, ignored);
}

void ignoreEnvironment() { g_configured = true; }

} // namespace scansim
