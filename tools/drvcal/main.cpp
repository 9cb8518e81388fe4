// drvcal: calibrates a scanner through its driver module, as the settings window's
// Calibrate button does, for scripts that scan without the window.
//   drvcal DRIVER.dll [--if-needed]
// Exit code 0 calibrated (or not needed), 1 calibration failed, 2 usage or module error.
#include <windows.h>

#include <stdio.h>
#include <string.h>

typedef int (*CalibrateFn)(int);
typedef int (*NeededFn)(void);

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: drvcal DRIVER.dll [--if-needed]\n");
        return 2;
    }
    bool ifNeeded = argc > 2 && !strcmp(argv[2], "--if-needed");
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module) {
        fprintf(stderr, "drvcal: cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    auto calibrate = reinterpret_cast<CalibrateFn>(GetProcAddress(module, "IO_CalibrateScanner"));
    auto needed = reinterpret_cast<NeededFn>(GetProcAddress(module, "IO_IsCalibrationNeeded"));
    int rc = 2;
    if (!calibrate) {
        fprintf(stderr, "drvcal: %s has no IO_CalibrateScanner\n", argv[1]);
    } else if (ifNeeded && needed && !needed()) {
        printf("drvcal: calibration not needed\n");
        rc = 0;
    } else if (calibrate(0)) {
        printf("drvcal: calibrated\n");
        rc = 0;
    } else {
        fprintf(stderr, "drvcal: calibration failed (no calibration sheet?)\n");
        rc = 1;
    }
    FreeLibrary(module);
    return rc;
}
