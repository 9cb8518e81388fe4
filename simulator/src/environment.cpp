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
};

// "0=a,1=b" -> (0, "a"), (1, "b"); items without '=' are skipped.
std::vector<Item> itemsOf(const char* variable)
{
    std::vector<Item> items;
    const char* text = getenv(variable);
    if (!text)
        return items;
    for (const std::string& item : split(text, ',')) {
        size_t eq = item.find('=');
        if (eq != std::string::npos)
            items.push_back({atoi(item.substr(0, eq).c_str()), item.substr(eq + 1)});
    }
    return items;
}

// "ccd" or "cis1:0400:1001" (hexadecimal vendor and product ids).
void devicesFromEnvironment()
{
    for (const Item& item : itemsOf("SCANSIM_DEVICES")) {
        std::vector<std::string> f = split(item.value, ':');
        int kind = codeOf(kKindNames, lower(f[0]));
        uint16_t vid = SCANSIM_DEFAULT_VID;
        uint16_t pid = kind == SCANSIM_KIND_CCD ? SCANSIM_DEFAULT_PID_CCD : SCANSIM_DEFAULT_PID_CIS;
        if (f.size() >= 3) {
            vid = uint16_t(strtoul(f[1].c_str(), nullptr, 16));
            pid = uint16_t(strtoul(f[2].c_str(), nullptr, 16));
        }
        attach(item.index, kind, vid, pid);
    }
}

// "fiducial", "white", "gray" or "file:<path of a BMP>".
void sheetsFromEnvironment()
{
    for (const Item& item : itemsOf("SCANSIM_SHEET")) {
        std::string name = lower(item.value);
        try {
            if (int card = codeOf(kCardNames, name))
                insertCard(item.index, card);
            else if (name.compare(0, 5, "file:") == 0)
                insertBmp(item.index, item.value.substr(5).c_str());
        } catch (...) {
            // a card too large for memory: the feeder stays empty
        }
    }
}

// "short_every:7", "jam:500", "sensor_flap".
void faultsFromEnvironment()
{
    for (const Item& item : itemsOf("SCANSIM_FAULTS")) {
        std::vector<std::string> f = split(item.value, ':');
        Device* d = deviceAt(item.index);
        int fault = codeOf(kFaultNames, lower(f[0]));
        if (d && fault)
            d->setFault(fault, f.size() > 1 ? uint32_t(strtoul(f[1].c_str(), nullptr, 10)) : 0);
    }
}

} // namespace

void configureFromEnvironment()
{
    if (g_configured)
        return;
    g_configured = true;
    devicesFromEnvironment();
    sheetsFromEnvironment();
    faultsFromEnvironment();
}

void ignoreEnvironment() { g_configured = true; }

} // namespace scansim
