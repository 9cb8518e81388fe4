// The other process of the lock test: its own simulated scanners, wren_sim.dll,
// IO_StartScan held until the test releases it, and a note of what it saw.
//   wren_lock_child <devices> <result file> <ready event> <release event>
#include "scansim.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <set>

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    const int devices = atoi(argv[1]);
    scansim_reset();
    for (int i = 0; i < devices; ++i) {
        scansim_attach(i, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS);
        scansim_insert_card(i, SCANSIM_CARD_WHITE);
    }
    HMODULE wren = LoadLibraryA("wren_sim.dll");
    if (!wren)
        return 3;
    auto startScan = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(wren, "IO_StartScan")));
    auto endScan = reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(wren, "IO_EndScan")));
    auto paperOn = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(wren, "IO_IsPaperOn")));
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
    if (!startScan || !endScan || !paperOn || !ready || !release)
        return 4;
    const int started = startScan();
    SetEvent(ready);
    // While held: the paper sensor is asked of the held device only.
    int paper = 0;
    while (WaitForSingleObject(release, 50) == WAIT_TIMEOUT)
        paper |= paperOn();
    endScan();
    std::set<int> touched;
    for (uint32_t i = 0; i < scansim_log_count(); ++i) {
        ScanSimLogEntry e;
        if (scansim_log_entry(i, &e, nullptr, 0))
            touched.insert(e.device);
    }
    FILE* f = fopen(argv[2], "w");
    if (!f)
        return 5;
    fprintf(f, "started %d paper %d touched", started, paper);
    for (int d : touched)
        fprintf(f, " %d", d);
    fprintf(f, "\n");
    fclose(f);
    FreeLibrary(wren);
    return 0;
}
