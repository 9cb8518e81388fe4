// twscan: acquire one page from a TWAIN data source and write it as a BMP file.
#include <stdio.h>

#include <memory>

#include "acquire.h"
#include "options.h"

int main(int argc, char** argv)
{
    ScanOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        fprintf(stderr, "twscan: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options.helpWanted) {
        fputs(UsageText(), stdout);
        return 0;
    }
    std::unique_ptr<SourceLink> link(
        options.dsmPath.empty()
            ? CreateDirectLink(options.dsPath, options.hostName)
            : CreateManagerLink(options.dsmPath, options.sourceName, options.hostName));
    AcquireReport report = AcquireOnePage(options, link.get());
    if (!report.imageWritten) {
        fprintf(stderr, "twscan: no image: %s\n",
                report.error.empty() ? "unknown failure" : report.error.c_str());
        return 1;
    }
    return 0;
}
