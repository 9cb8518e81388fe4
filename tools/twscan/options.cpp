#include "options.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char* UsageText()
{
    return "usage: twscan [options]\n"
           "  --ds PATH          data source file to load directly (default kestrel.ds)\n"
           "  --dsm PATH         use this TWAIN Source Manager DLL instead (e.g. TWAINDSM.dll)\n"
           "  --source NAME      source to open through the manager (default \"Zureruri Zedu\")\n"
           "  --host NAME        ProductName this host presents to the source\n"
           "  --mech native|file|memory   transfer mechanism (default native)\n"
           "  --ui               show the source's settings window\n"
           "  --progress         show the source's progress window\n"
           "  --pixel bw|gray|rgb         pixel type\n"
           "  --dpi N            resolution in dots per inch\n"
           "  --area L,T,R,B     image layout in inches\n"
           "  --timeout SECONDS  give up when no image arrives in time (default 120)\n"
           "  --quiet            no progress on the console\n"
           "  -o, --out PATH     image file to write (default scan.bmp): PNG or TIFF when the\n"
           "                     name ends in .png, .tif or .tiff, BMP otherwise\n"
           "  --count N          scan N sheets from the feeder into numbered files\n"
           "                     (card.png -> card-001.png, card-002.png, ...)\n"
           "  --list             print the sources the Source Manager knows, and stop\n"
           "  -h, --help         print this text\n";
}

bool ParseOptions(int argc, char** argv, ScanOptions* o, std::string* error)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                *error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        const char* v = nullptr;
        if (arg == "--ds") {
            if (!(v = value("--ds"))) return false;
            o->dsPath = v;
        } else if (arg == "--dsm") {
            if (!(v = value("--dsm"))) return false;
            o->dsmPath = v;
        } else if (arg == "--source") {
            if (!(v = value("--source"))) return false;
            o->sourceName = v;
        } else if (arg == "--host") {
            if (!(v = value("--host"))) return false;
            o->hostName = v;
        } else if (arg == "-o" || arg == "--out") {
            if (!(v = value("--out"))) return false;
            o->outputPath = v;
        } else if (arg == "--mech") {
            if (!(v = value("--mech"))) return false;
            if (!strcmp(v, "native")) o->mechanism = XferMechanism::Native;
            else if (!strcmp(v, "file")) o->mechanism = XferMechanism::File;
            else if (!strcmp(v, "memory")) o->mechanism = XferMechanism::Memory;
            else { *error = "unknown mechanism " + std::string(v); return false; }
        } else if (arg == "--pixel") {
            if (!(v = value("--pixel"))) return false;
            if (!strcmp(v, "bw")) o->pixelType = 0;
            else if (!strcmp(v, "gray")) o->pixelType = 1;
            else if (!strcmp(v, "rgb")) o->pixelType = 2;
            else { *error = "unknown pixel type " + std::string(v); return false; }
        } else if (arg == "--dpi") {
            if (!(v = value("--dpi"))) return false;
            o->resolution = atoi(v);
            if (o->resolution <= 0) { *error = "bad resolution"; return false; }
        } else if (arg == "--area") {
            if (!(v = value("--area"))) return false;
            if (sscanf(v, "%lf,%lf,%lf,%lf", &o->left, &o->top, &o->right, &o->bottom) != 4) {
                *error = "--area wants L,T,R,B in inches";
                return false;
            }
            o->setLayout = true;
        } else if (arg == "--timeout") {
            if (!(v = value("--timeout"))) return false;
            o->timeoutSeconds = atoi(v);
        } else if (arg == "--count") {
            if (!(v = value("--count"))) return false;
            char* end = nullptr;
            long n = strtol(v, &end, 10);
            if (*v == '\0' || *end != '\0' || n < 1 || n > 9999) {
                *error = "--count wants a number of sheets from 1 to 9999";
                return false;
            }
            o->count = static_cast<int>(n);
            o->numbered = true;
        } else if (arg == "--list") {
            o->listSources = true;
        } else if (arg == "--ui") {
            o->showUI = true;
        } else if (arg == "--progress") {
            o->showIndicators = true;
        } else if (arg == "--quiet") {
            o->quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            o->helpWanted = true;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}
