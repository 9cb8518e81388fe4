#include "config_file.h"

#include "debug.h"

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <fstream>
#include <sstream>

#ifndef KESTREL_SANE_CONFIG_DIR
#define KESTREL_SANE_CONFIG_DIR "/etc/sane.d"
#endif

namespace kestrel_sane {

namespace {

const char kConfigName[] = "kestrel.conf";
const size_t kMostIds = 256;
const unsigned kMostTimeoutSeconds = 600;

// A whole word as a number up to `most` (decimal, or hex with 0x).
bool ParseNumber(const std::string& word, unsigned long most, unsigned long* value)
{
    if (word.empty() || word[0] == '-' || word[0] == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long v = strtoul(word.c_str(), &end, 0);
    if (errno != 0 || !end || *end != 0 || v > most)
        return false;
    *value = v;
    return true;
}

// The start of a line as it may be shown on a terminal.
std::string Printable(const std::string& line)
{
    std::string shown = line.substr(0, 80);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            c = '?';
    return shown;
}

std::string Absolute(const std::string& folder)
{
    char resolved[PATH_MAX];
    return realpath(folder.c_str(), resolved) ? std::string(resolved) : folder;
}

} // namespace

std::vector<std::string> ConfigFolders()
{
    const std::vector<std::string> defaults = {".", KESTREL_SANE_CONFIG_DIR};
    const char* variable = getenv("SANE_CONFIG_DIR");
    if (!variable || !*variable)
        return defaults;
    std::vector<std::string> folders;
    std::string list = variable;
    size_t start = 0;
    for (size_t colon; (colon = list.find(':', start)) != std::string::npos; start = colon + 1)
        if (colon > start)
            folders.push_back(list.substr(start, colon - start));
    if (start < list.size())
        folders.push_back(list.substr(start));
    else
        folders.insert(folders.end(), defaults.begin(), defaults.end());
    return folders;
}

bool ParseConfigLine(const std::string& text, BackendConfig* config, std::string* reason)
{
    std::string line = text.substr(0, text.find('#'));
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word && w.size() < 4;)
        w.push_back(word);
    if (w.empty())
        return true;
    unsigned long vendor = 0, product = 0, seconds = 0;
    if (w[0] == "usb") {
        if (w.size() != 3 || !ParseNumber(w[1], 0xFFFF, &vendor) || !ParseNumber(w[2], 0xFFFF, &product)) {
            *reason = "expected: usb <vendor id> <product id>";
            return false;
        }
        if (config->ids.size() >= kMostIds) {
            *reason = "too many usb lines";
            return false;
        }
        config->ids.push_back(UsbId{uint16_t(vendor), uint16_t(product)});
        return true;
    }
    if (w[0] == "usb-timeout") {
        if (w.size() != 2 || !ParseNumber(w[1], kMostTimeoutSeconds, &seconds) || seconds == 0) {
            *reason = "expected: usb-timeout <seconds, 1 to 600>";
            return false;
        }
        config->usbTimeoutMs = unsigned(seconds) * 1000u;
        return true;
    }
    *reason = "unknown setting";
    return false;
}

BackendConfig ReadConfig()
{
    BackendConfig config;
    const std::vector<std::string> folders = ConfigFolders();
    for (const std::string& folder : folders) {
        std::ifstream file(folder + "/" + kConfigName);
        if (!file)
            continue;
        config.folder = Absolute(folder);
        DBG(3, "configuration: %s/%s", config.folder.c_str(), kConfigName);
        std::string line, reason;
        for (int number = 1; std::getline(file, line); ++number)
            if (!ParseConfigLine(line, &config, &reason))
                DBG(1, "%s line %d ignored (%s): %s", kConfigName, number, reason.c_str(), Printable(line).c_str());
        return config;
    }
    DBG(3, "no %s: every scanner the drivers know is looked for", kConfigName);
    for (const std::string& folder : folders)
        if (folder != ".") {
            config.folder = folder;
            break;
        }
    return config;
}

bool IdListed(const BackendConfig& config, uint16_t vendor, uint16_t product)
{
    if (config.ids.empty())
        return true;
    for (const UsbId& id : config.ids)
        if (id.vendor == vendor && id.product == product)
            return true;
    return false;
}

} // namespace kestrel_sane
