// Soak run (a program, not a test): consecutive scans of the fiducial card
// through the TWAIN Working Group's Source Manager, loaded once, in this one
// process, with twscan's acquisition code; plover (simulated CCD scanner) and
// wren (simulated CIS scanner) in turn, the three transfer mechanisms, pixel
// types and resolutions varied. Prints the process's handle count, private
// bytes, GDI and USER objects and the time per scan at the start and at the end.
//   scan_soak [scans (200)] [Source Manager path]
// Run from the build's bin folder under the tests' Wine environment.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "acquire.h"
#include "process_counts.h"
#include "road.h"
#include "scansim.h"
#include "support/architecture.h"
#include "support/dialog_dismisser.h"

namespace {

struct Sample {
    DWORD handles = 0, gdi = 0, user = 0;
    SIZE_T privateBytes = 0;
    double seconds = 0;
};

// Counts threads among the handles (to tell what a growth is made of).
DWORD CountThreadHandles()
{
    DWORD count = 0;
    for (uintptr_t value = 4; value < 0x20000; value += 4) {
        DWORD flags = 0;
        HANDLE h = reinterpret_cast<HANDLE>(value);
        if (GetHandleInformation(h, &flags) && GetThreadId(h) != 0)
            ++count;
    }
    return count;
}

Sample Measure()
{
    Sample s;
    s.handles = processcounts::Handles();
    // GDI and USER objects cannot be counted where these answer 0 (Wine).
    s.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    s.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    s.privateBytes = processcounts::PrivateBytes();
    return s;
}

std::string WindowsFolder(UINT(WINAPI* get)(LPSTR, UINT))
{
    char folder[MAX_PATH];
    get(folder, MAX_PATH);
    return folder;
}

std::string BesideProgram(const char* name)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1) + name;
}

using fidelity::Scanner;
const Scanner* const kScanners[2] = {&fidelity::kPlover, &fidelity::kWren};

void Print(const char* what, const Sample& s)
{
    printf("%-26s handles %5lu  private %8.1f KiB  GDI %4lu  USER %4lu  %6.0f ms per scan\n", what,
           static_cast<unsigned long>(s.handles), s.privateBytes / 1024.0, static_cast<unsigned long>(s.gdi),
           static_cast<unsigned long>(s.user), s.seconds * 1000);
}

Sample Average(const std::vector<Sample>& v, size_t from, size_t to)
{
    Sample a;
    double handles = 0, gdi = 0, user = 0, bytes = 0;
    for (size_t i = from; i < to; ++i) {
        handles += v[i].handles, gdi += v[i].gdi, user += v[i].user, bytes += double(v[i].privateBytes);
        a.seconds += v[i].seconds;
    }
    const double n = double(to - from);
    a.handles = DWORD(handles / n + 0.5), a.gdi = DWORD(gdi / n + 0.5), a.user = DWORD(user / n + 0.5);
    a.privateBytes = SIZE_T(bytes / n);
    a.seconds /= n;
    return a;
}

} // namespace

int main(int argc, char** argv)
{
    const int scans = argc > 1 ? atoi(argv[1]) : 200;
    std::string manager = argc > 2 ? argv[2] : architecture::VendoredManager(KESTREL_SHARED_DIR);
    for (char& c : manager)
        if (c == '/')
            c = '\\';
    if (scans < 20) {
        fprintf(stderr, "at least 20 scans\n");
        return 2;
    }
    // The source where a user installs it; its drivers are found beside this program.
    const std::string windows = WindowsFolder(GetWindowsDirectoryA);
    const std::string twain = windows + "\\" + architecture::kTwainFolder;
    const std::string sourceFolder = twain + "\\kestrel";
    CreateDirectoryA(twain.c_str(), nullptr);
    CreateDirectoryA(sourceFolder.c_str(), nullptr);
    if (!CopyFileA(BesideProgram("kestrel.ds").c_str(), (sourceFolder + "\\kestrel.ds").c_str(), FALSE)) {
        fprintf(stderr, "cannot install kestrel.ds in %s\n", sourceFolder.c_str());
        return 3;
    }
    HMODULE dsm = LoadLibraryA(manager.c_str()); // held: the manager is loaded once
    if (!dsm) {
        fprintf(stderr, "no Source Manager at %s\n", manager.c_str());
        return 3;
    }
    scansim_reset();
    for (const Scanner* s : kScanners) {
        if (!fidelity::Calibrate(*s)) {
            fprintf(stderr, "calibration of %s failed\n", s->module);
            return 4;
        }
    }

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string output = std::string(temp) + "scan_soak.bmp";
    const XferMechanism mechanisms[3] = {XferMechanism::Native, XferMechanism::File, XferMechanism::Memory};
    const int ploverTypes[3] = {TWPT_GRAY, TWPT_RGB, TWPT_BW};
    const int wrenTypes[2] = {TWPT_GRAY, TWPT_BW};
    const int resolutions[4] = {100, 150, 200, 300};

    // SOAK_DIRECT=1: kestrel.ds loaded by twscan's own minimal manager instead, to
    // tell the Source Manager's share of a growth from the source's.
    const DWORD threadHandlesBefore = CountThreadHandles();
    const bool direct = getenv("SOAK_DIRECT") && atoi(getenv("SOAK_DIRECT")) == 1;
    // SOAK_ONLY=0 or 1: plover or wren alone (both take turns otherwise).
    const int only = getenv("SOAK_ONLY") ? atoi(getenv("SOAK_ONLY")) % 2 : -1;
    std::vector<Sample> samples;
    int failures = 0, boxes = 0, leftovers = 0;
    DialogDismisser dismisser;
    for (int i = 0; i < scans; ++i) {
        const Scanner& s = *kScanners[only >= 0 ? only : i % 2];
        fidelity::Plug(s, SCANSIM_CARD_FIDUCIAL);
        ScanOptions o;
        o.dsmPath = manager;
        o.outputPath = output;
        o.mechanism = mechanisms[(i / 2) % 3];
        o.pixelType = &s == kScanners[1] ? wrenTypes[(i / 6) % 2] : ploverTypes[(i / 6) % 3];
        o.resolution = resolutions[(i / 4) % 4];
        o.setLayout = true;
        o.left = 0, o.top = 0, o.right = 2.1, o.bottom = 3.6;
        o.timeoutSeconds = 60;
        o.quiet = true;
        DeleteFileA(output.c_str());
        const auto started = std::chrono::steady_clock::now();
        AcquireReport report;
        {
            std::unique_ptr<SourceLink> link(direct ? CreateDirectLink(o.dsPath, o.hostName)
                                                    : CreateManagerLink(o.dsmPath, o.sourceName, o.hostName));
            report = AcquireOnePage(o, link.get());
        }
        // The simulator records every transfer (with its bytes) for the tests; that
        // record lives in this process but is not the data source's or the drivers'.
        scansim_log_clear();
        Sample sample = Measure();
        sample.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        samples.push_back(sample);
        const bool written = GetFileAttributesA(output.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!report.imageWritten) {
            ++failures;
            leftovers += written ? 1 : 0;
            fprintf(stderr, "scan %d (%s, mechanism %d, type %d, %d dpi) failed: %s\n", i + 1, s.module,
                    int(o.mechanism), o.pixelType, o.resolution, report.error.c_str());
        }
    }
    boxes = int(dismisser.Texts().size());
    DeleteFileA(output.c_str());
    DeleteFileA((sourceFolder + "\\kestrel.ds").c_str());
    RemoveDirectoryA(sourceFolder.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
    FreeLibrary(dsm);

    // The first scans load modules and fill caches: the start is measured after them.
    printf("%d scans through %s (one process, the manager loaded once)\n", scans,
           direct ? "kestrel.ds loaded directly" : manager.c_str());
    Print("after scan 10:", samples[9]);
    Print("after the last scan:", samples.back());
    Print("scans 11-20, average:", Average(samples, 10, 20));
    Print("last 10 scans, average:", Average(samples, samples.size() - 10, samples.size()));
    for (size_t i = 19; i < samples.size(); i += 20) {
        char what[32];
        snprintf(what, sizeof(what), "after scan %d:", int(i + 1));
        Print(what, samples[i]);
    }
    printf("thread handles before the first scan %lu, after the last %lu\n",
           static_cast<unsigned long>(threadHandlesBefore), static_cast<unsigned long>(CountThreadHandles()));
    printf("failed scans %d, message boxes %d, partial files %d\n", failures, boxes, leftovers);
    return failures || boxes || leftovers ? 1 : 0;
}
