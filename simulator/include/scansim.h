/* The simulated scanner: a register-level model of a USB sheet-fed scanner controller,
 * seen through a usbscan-style device interface, with a control API for tests and tools.
 * On Windows it is scansim.dll; natively it is a static library (libscansim.a) with the
 * same functions.
 *
 * Devices sit at indices 0..126 and open as "\\.\usbscanN". Without any call to
 * the control API the simulator configures itself from the environment on first use:
 *   SCANSIM_DEVICES  "0=ccd,1=cis1:0400:1001"  kind (ccd, cis0, cis1), optional hex ids
 *   SCANSIM_SHEET    "0=fiducial" | "0=white" | "0=gray" | "0=file:C:\card.bmp"
 *                    a feeder stack "0=white+fiducial": the next sheet goes in when one has left
 *   SCANSIM_FAULTS   "0=short_every:7,0=jam:500" (names of SCANSIM_FAULT_* in lower case)
 * Every function returns 1 (or a count) on success and 0 on bad arguments. Any thread
 * may call any function: one lock in the simulator serialises all calls (a read of
 * image data holds it while the lines are computed).
 *
 * A failed io call says why as the platform's callers expect: the Win32 last error
 * (scansim.dll) or errno (native library):
 *   no such device, bad name               ERROR_FILE_NOT_FOUND        ENOENT
 *   handle not open (or closed)            ERROR_INVALID_HANDLE        EBADF
 *   device vanished or detached            ERROR_DEVICE_NOT_CONNECTED  ENODEV
 *   control code not answered              ERROR_INVALID_FUNCTION      ENOTTY
 *   answer buffer too small                ERROR_INSUFFICIENT_BUFFER   EOVERFLOW
 *   no buffer for a non-empty transfer     ERROR_INVALID_PARAMETER     EINVAL
 *   out of memory                          ERROR_NOT_ENOUGH_MEMORY     ENOMEM */
#ifndef SCANSIM_H
#define SCANSIM_H

#include <stdint.h>

#if defined(_WIN32) && defined(SCANSIM_BUILD)
#define SCANSIM_API __declspec(dllexport)
#elif defined(_WIN32)
#define SCANSIM_API __declspec(dllimport)
#else
#define SCANSIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    SCANSIM_MAX_DEVICES = 127,
    SCANSIM_KIND_CCD = 1,  /* 600-dpi CCD, colour LEDs, chip shading (plover's scanner) */
    SCANSIM_KIND_CIS0 = 2, /* contact image sensor, variant 0 (wren's scanner) */
    SCANSIM_KIND_CIS1 = 3, /* contact image sensor, variant 1 */
    SCANSIM_DEFAULT_VID = 0x0400,
    SCANSIM_DEFAULT_PID_CCD = 0x1000,
    SCANSIM_DEFAULT_PID_CIS = 0x1002
};

/* The control code scansim_io_control answers (usbscan's): the 8-byte device descriptor,
 * four little-endian words (vendor id, product id, release 0x0100, language 0x0409). */
#define SCANSIM_IO_GET_DESCRIPTOR 0x80002018u

/* Built-in cards: 2.2 x 3.6 inch, generated at 600 dpi (1320 x 2160). */
enum {
    SCANSIM_CARD_WHITE = 1,    /* calibration sheet, reflectance 0.90 */
    SCANSIM_CARD_FIDUCIAL = 2, /* marks, gray ramp, colour patches, fine detail */
    SCANSIM_CARD_GRAY = 3,     /* uniform reflectance 0.45 */
    SCANSIM_CARD_WIDTH = 1320,
    SCANSIM_CARD_HEIGHT = 2160
};

/* Fiducial card layout, in 1/600 inch from the card's top-left corner (card face up).
 * Black squares of SCANSIM_MARK_SIZE centred on the points below; mark 4 sits on the
 * top edge near mark 0 so that mirroring and rotation are visible. */
enum { SCANSIM_MARK_COUNT = 5, SCANSIM_MARK_SIZE = 48 };
static const int SCANSIM_MARK_X[SCANSIM_MARK_COUNT] = {150, 1170, 150, 1170, 450};
static const int SCANSIM_MARK_Y[SCANSIM_MARK_COUNT] = {150, 150, 2010, 2010, 150};
/* Gray ramp: 11 steps of 96 x 240 from x 132, y 360; step k has reflectance 0.9 * k / 10. */
enum { SCANSIM_RAMP_X = 132, SCANSIM_RAMP_Y = 360, SCANSIM_RAMP_STEPS = 11,
       SCANSIM_RAMP_STEP_W = 96, SCANSIM_RAMP_H = 240 };
/* Colour patches at y 720..960: red, green, blue, cyan, magenta, yellow, 180 wide from x 120. */
enum { SCANSIM_PATCH_X = 120, SCANSIM_PATCH_Y = 720, SCANSIM_PATCH_W = 180,
       SCANSIM_PATCH_H = 240, SCANSIM_PATCH_COUNT = 6 };

/* Faults (scansim_set_fault). */
enum {
    SCANSIM_FAULT_SHORT_EVERY = 1,   /* param n: every n-th read of the bulk pipe delivers half */
    SCANSIM_FAULT_SHORT_FROM = 2,    /* param n: image data stop after n more bytes */
    SCANSIM_FAULT_DISCONNECT_AT = 3, /* param n: the device vanishes after n more image bytes */
    SCANSIM_FAULT_RECONNECT_AFTER = 4, /* param n: a vanished device returns at the n-th open try */
    SCANSIM_FAULT_JAM = 5,           /* param n: the sheet stops after n more steps */
    SCANSIM_FAULT_SENSOR_STUCK = 6,  /* param 0 or 1: the paper sensor always reports absent/present */
    SCANSIM_FAULT_SENSOR_FLAP = 7    /* param ignored: the paper sensor toggles at every read */
};

typedef struct {
    int32_t attached, connected, kind;
    uint16_t vendorId, productId;
    int32_t scanning;        /* command 0x03 running */
    int32_t motorRun;        /* 0 none, 1 forward, 2 backward */
    int32_t sheetPresent;    /* a sheet is in the paper path */
    int32_t paperAtSensor;   /* the sheet covers the paper sensor (before polarity) */
    double sheetLead;        /* leading edge relative to the scan line, motor steps (600/inch) */
    double motorSteps;       /* every step the motor made since attach */
    uint32_t linesScanned;   /* lines produced since the last scan command */
    uint32_t bytesPerLine;   /* of the running (or last) scan */
    uint32_t pixelsPerLine;
    uint32_t protocolErrors; /* malformed frames received */
    uint32_t sheetsEjected;
} ScanSimStatus;

typedef struct {
    uint32_t sequence;
    int32_t device;
    int32_t direction;      /* 0 bulk out (write), 1 bulk in (read), 2 control */
    uint32_t requested;
    uint32_t transferred;
    uint32_t storedBytes;   /* bytes kept in the log (whole writes, first 64 bytes of reads) */
} ScanSimLogEntry;

/* --- usbscan device interface (used by the simulated device seam) --- */
SCANSIM_API intptr_t scansim_io_open(const char* name); /* 0 when absent */
SCANSIM_API int scansim_io_control(intptr_t h, uint32_t code, const void* in, uint32_t inSize,
                                   void* out, uint32_t outSize, uint32_t* returned);
SCANSIM_API int scansim_io_write(intptr_t h, const void* data, uint32_t size, uint32_t* written);
SCANSIM_API int scansim_io_read(intptr_t h, void* buffer, uint32_t size, uint32_t* received);
SCANSIM_API int scansim_io_close(intptr_t h);

/* --- control API --- */
SCANSIM_API void scansim_reset(void); /* detach all, clear the log; environment ignored from now */
SCANSIM_API int scansim_attach(int index, int kind, uint16_t vendorId, uint16_t productId);
SCANSIM_API int scansim_detach(int index);
SCANSIM_API int scansim_insert_card(int index, int card);
SCANSIM_API int scansim_insert_bmp(int index, const char* path);
SCANSIM_API int scansim_remove_sheet(int index);
SCANSIM_API int scansim_press_button(int index, int button, int pressed); /* 1..4 */
SCANSIM_API int scansim_set_fault(int index, int fault, uint32_t param);
SCANSIM_API int scansim_clear_faults(int index);
SCANSIM_API int scansim_disconnect(int index);
SCANSIM_API int scansim_reconnect(int index);
SCANSIM_API int scansim_get_status(int index, ScanSimStatus* status);
SCANSIM_API int scansim_get_registers(int index, uint8_t registers[128]);
/* The register file as text, sixteen registers per line ("20: 05 78 00 18 ..."); returns
 * the size needed including the terminating zero, 0 for no device. */
SCANSIM_API uint32_t scansim_register_text(int index, char* buffer, uint32_t capacity);
SCANSIM_API int scansim_read_memory(int index, int region, uint32_t address, uint8_t* buffer,
                                    uint32_t length);
/* Per-pixel truth of the sensor: dark level and sensitivity at a sensor position (the
 * unit of the start and end pixel registers). */
SCANSIM_API int scansim_sensor_pixel(int index, int position, double* dark, double* sensitivity);

/* The truth a scan of a built-in card is measured against: the card as a scanner at `dpi`
 * sees it, 8-bit red, green, blue reflectance (255 = 1.0), top-down, width x height pixels.
 * Pixel (i, j) is the card's mean over the square of 600/dpi card units (1/600 inch) from
 * (x0 + i * 600/dpi, y0 + j * 600/dpi); off the card it shows the dark backing (0.04). */
SCANSIM_API int scansim_card_truth(int card, double dpi, double x0, double y0, int width, int height,
                                   uint8_t* rgb);

SCANSIM_API uint32_t scansim_log_count(void);
SCANSIM_API int scansim_log_entry(uint32_t i, ScanSimLogEntry* entry, uint8_t* bytes,
                                  uint32_t capacity);
SCANSIM_API void scansim_log_clear(void);
/* The log as text, one transfer per line ("W 02 00 00 3C ..." / "R 7626/7626"). */
SCANSIM_API uint32_t scansim_log_text(char* buffer, uint32_t capacity);

#ifdef __cplusplus
}
#endif

#endif
