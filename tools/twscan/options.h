// Command line of twscan.
#pragma once

#include <string>

enum class XferMechanism { Native, File, Memory };

struct ScanOptions {
    std::string dsPath = "kestrel.ds";   // data source loaded directly (default road)
    std::string dsmPath;                 // a Source Manager DLL instead, when given
    std::string sourceName = "Zureruri Zedu";
    std::string hostName = "twscan";     // the ProductName this host presents
    std::string outputPath = "scan.bmp"; // .png, .tif/.tiff: PNG, TIFF; else BMP
    int count = 1;                       // sheets to scan from the feeder
    bool numbered = false;               // --count given: numbered file names
    bool listSources = false;            // --list: print the sources, scan nothing
    XferMechanism mechanism = XferMechanism::Native;
    bool showUI = false;
    bool showIndicators = false;
    int pixelType = -1;                  // TWPT_*; -1 keeps the source's setting
    int resolution = 0;                  // dpi; 0 keeps the source's setting
    bool setLayout = false;
    double left = 0, top = 0, right = 0, bottom = 0;   // inches
    int timeoutSeconds = 120;
    bool quiet = false;
    bool helpWanted = false;             // --help / -h: print the usage and stop
};

// Parses argv; on failure returns false with a message in *error.
bool ParseOptions(int argc, char** argv, ScanOptions* options, std::string* error);
const char* UsageText();
