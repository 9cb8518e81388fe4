// kestrel.conf: the USB ids to look for ("usb 0xVVVV 0xPPPP", one line each) and the
// backend's own settings, found the way SANE finds its configuration files.
#pragma once

#include <stdint.h>
#include <string>
#include <vector>

namespace kestrel_sane {

struct UsbId {
    uint16_t vendor, product;
};

struct BackendConfig {
    std::vector<UsbId> ids;        // empty: every id one of the drivers takes
    unsigned usbTimeoutMs = 30000; // "usb-timeout <seconds>": a transfer that takes longer fails
    std::string folder;            // kestrel.conf's folder, else the first configuration folder
};

// The folders searched, in order: SANE_CONFIG_DIR's (':'-separated; a trailing ':' adds
// the defaults), else the defaults "." and the system's SANE configuration folder.
std::vector<std::string> ConfigFolders();

// Reads the first kestrel.conf of the folders; without one, the defaults. Lines that
// mean nothing are reported (level 1) and skipped.
BackendConfig ReadConfig();

// One line into `config`; false with the reason when it is not understood.
bool ParseConfigLine(const std::string& line, BackendConfig* config, std::string* reason);

bool IdListed(const BackendConfig& config, uint16_t vendor, uint16_t product);

} // namespace kestrel_sane
