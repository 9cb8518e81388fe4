// twscan: acquire pages from a TWAIN data source and write them as BMP, PNG or TIFF
// files, or list the sources a Source Manager knows.
#include <stdio.h>

#include <memory>
#include <vector>

#include "acquire.h"
#include "options.h"

// One line per source: its name, maker, family and version.
static int ListSources(SourceLink* link)
{
    std::vector<TW_IDENTITY> sources;
    std::string error;
    if (!link->ListSources(&sources, &error)) {
        fprintf(stderr, "twscan: cannot list the sources: %s\n", error.c_str());
        return 1;
    }
    for (const TW_IDENTITY& s : sources)
        printf("%s\t%s\t%s\t%u.%u\t%s\n", s.ProductName, s.Manufacturer, s.ProductFamily,
               s.Version.MajorNum, s.Version.MinorNum, s.Version.Info);
    if (sources.empty())
        fprintf(stderr, "twscan: the Source Manager knows no source\n");
    return sources.empty() ? 1 : 0;
}

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
    if (options.listSources)
        return ListSources(link.get());
    AcquireReport report = AcquireOnePage(options, link.get());
    if (!report.imageWritten) {
        fprintf(stderr, "twscan: no image: %s\n",
                report.error.empty() ? "unknown failure" : report.error.c_str());
        return 1;
    }
    if (!report.error.empty() || report.sheetsWritten < options.count) {
        fprintf(stderr, "twscan: %d of %d images written: %s\n", report.sheetsWritten,
                options.count, report.error.empty() ? "unknown failure" : report.error.c_str());
        return 1;
    }
    return 0;
}
