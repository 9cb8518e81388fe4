// Registers, bits, command values, bulk framing codes and memory regions of the
// LM9831-class scanner controller that plover and wren drive. Every value the
// drivers put on the wire is named here once; logic never writes a raw register
// number. 16-bit quantities occupy two registers, high byte first, and are named
// by their first (high) register.
#pragma once

#include <stdint.h>

namespace lm9831 {

// --- Register addresses ---------------------------------------------------
enum : uint8_t {
    REG_DATA_PORT = 0x00,      // image data (read without increment)
    REG_STATUS = 0x01,         // status bits (STATUS_*)
    REG_SENSORS = 0x02,        // paper sensor, buttons, sensor variant (SENSOR_*)
    REG_MEM_REGION = 0x03,     // memory region of the memory port (MEM_*)
    REG_MEM_ADDR_HI = 0x04,    // memory address within the region, high byte
    REG_MEM_ADDR_LO = 0x05,    // memory address, low byte
    REG_MEM_DATA = 0x06,       // memory data port (bursts without register increment)
    REG_COMMAND = 0x07,        // CMD_* values
    REG_MCLK_DIVIDER = 0x08,   // master clock divider
    REG_PIXEL_FORMAT = 0x09,   // bits 0-2 horizontal divider code, bits 3-5 sample depth
    REG_SENSOR_CONTROL = 0x0A, // sensor clocking options (bits 0-3 used by the line period)
    REG_SENSOR_TIMING_0B = 0x0B, // sensor timing, 0x0B-0x1D
    REG_SENSOR_TIMING_0C = 0x0C,
    REG_SENSOR_TIMING_0D = 0x0D,
    REG_SENSOR_TIMING_0E = 0x0E,
    REG_SENSOR_TIMING_0F = 0x0F,
    REG_SENSOR_TIMING_10 = 0x10,
    REG_SENSOR_TIMING_11 = 0x11,
    REG_SENSOR_TIMING_12 = 0x12,
    REG_SENSOR_TIMING_13 = 0x13,
    REG_SENSOR_TIMING_14 = 0x14,
    REG_SENSOR_TIMING_15 = 0x15,
    REG_SENSOR_TIMING_16 = 0x16,
    REG_SENSOR_TIMING_17 = 0x17,
    REG_SENSOR_TIMING_18 = 0x18,
    REG_INTEGRATION_ADJUST = 0x19, // integration time adjust
    REG_SENSOR_TIMING_1A = 0x1A,
    REG_SENSOR_TIMING_1B = 0x1B,
    REG_SENSOR_TIMING_1C = 0x1C,
    REG_SENSOR_TIMING_1D = 0x1D,
    REG_DUMMY_PIXELS = 0x1E,   // 16-bit, pixel periods before the first active pixel
    REG_LINE_LENGTH = 0x20,    // 16-bit, pixel periods per line
    REG_START_PIXEL = 0x22,    // 16-bit, first sensor position of the line window
    REG_END_PIXEL = 0x24,      // 16-bit, last sensor position of the line window
    REG_CHANNEL_MODE = 0x26,   // CHANNEL_MODE_* values
    REG_CHANNEL_27 = 0x27,
    REG_CHANNEL_28 = 0x28,
    REG_ILLUMINATION = 0x29,   // ILLUM_* values
    REG_LED_PWM = 0x2A,        // 16-bit
    REG_LED_RED_ON = 0x2C,     // 16-bit on and off times of the three LEDs, 0x2C-0x37
    REG_LED_RED_OFF = 0x2E,
    REG_LED_GREEN_ON = 0x30,
    REG_LED_GREEN_OFF = 0x32,
    REG_LED_BLUE_ON = 0x34,
    REG_LED_BLUE_OFF = 0x36,
    REG_LINE_OFFSET_RED = 0x38, // analog offset codes red, green, blue (0x38-0x3A)
    REG_LINE_OFFSET_GREEN = 0x39,
    REG_LINE_OFFSET_BLUE = 0x3A,
    REG_LINE_GAIN_RED = 0x3B,   // analog gain codes red, green, blue (0x3B-0x3D)
    REG_LINE_GAIN_GREEN = 0x3C,
    REG_LINE_GAIN_BLUE = 0x3D,
    REG_FIXED_OFFSET = 0x3E,    // 16-bit offset used when no pixel offsets apply
    REG_FIXED_GAIN = 0x40,      // 16-bit gain (GAIN_UNITY = 1.0) when no pixel gains apply
    REG_SHADING_MODE = 0x42,    // SHADING_* bits
    REG_SHADING_43 = 0x43,
    REG_SHADING_44 = 0x44,
    REG_MOTOR_CONTROL = 0x45,   // MOTOR_* bits
    REG_SCAN_STEP_SIZE = 0x46,  // 16-bit, motor step period while scanning
    REG_FAST_STEP_SIZE = 0x48,  // 16-bit, motor step period of moves and free runs
    REG_STEP_COUNT = 0x4A,      // 16-bit, steps before the first line / steps of CMD_MOVE_STEPS
    REG_STEPS_AFTER_SENSOR = 0x4C, // 16-bit, steps from the paper sensor edge to the first line
    REG_BUFFER_LEVEL = 0x4E,    // line buffer (SRAM) fill level
    REG_BUFFER_4F = 0x4F,
    REG_MOTOR_50 = 0x50,        // motor and line period set-up, 0x50-0x54
    REG_LINE_PERIOD_HI = 0x51,  // bits 0-1 carry bits 16-17 of the line period value
    REG_LINE_PERIOD_MID = 0x52,
    REG_LINE_PERIOD_LO = 0x53,
    REG_MOTOR_54 = 0x54,
    REG_HOLD_CURRENT = 0x55,
    REG_MOTOR_PWM_FREQ = 0x56,
    REG_MOTOR_PWM_DUTY = 0x57,
    REG_MISC_IO_58 = 0x58,      // general-purpose I/O, 0x58-0x5B
    REG_MISC_IO_59 = 0x59,
    REG_MISC_IO_5A = 0x5A,
    REG_MISC_IO_5B = 0x5B,
    REG_HIGH_5C = 0x5C,         // first of the registers 0x5C-0x7F
    REG_HIGH_70 = 0x70,
    REG_LAST = 0x7F
};

// The register image written as a whole: registers 0x00..0x7E.
enum : uint32_t { REGISTER_IMAGE_SIZE = 0x7F, REGISTER_FILE_SIZE = 0x80 };

// --- Register bits and values -------------------------------------------
enum : uint8_t {
    STATUS_SCANNING = 0x01,
    STATUS_MOTOR = 0x02,
    STATUS_POWER_DOWN = 0x80,

    // REG_SENSORS. CCD scanners: paper bit 0 while paper is present (before the
    // driver's polarity), button on bit 4. CIS scanners: paper bit 1 while paper is
    // present, buttons 1-3 on bits 5-7 and "other" on bit 2, variant bits 3 and 4.
    SENSOR_PAPER = 0x01,
    SENSOR_CIS_BUTTON_OTHER = 0x04,
    SENSOR_CIS_VARIANT_A = 0x08,
    SENSOR_CIS_VARIANT_B = 0x10,
    SENSOR_CCD_BUTTON = 0x10,
    SENSOR_CIS_BUTTON_1 = 0x20,
    SENSOR_CIS_BUTTON_2 = 0x40,
    SENSOR_CIS_BUTTON_3 = 0x80,

    // REG_PIXEL_FORMAT
    PIXEL_FORMAT_DIVIDER = 0x07,
    PIXEL_FORMAT_DEPTH = 0x38,
    PIXEL_DEPTH_1 = 0x00,
    PIXEL_DEPTH_2 = 0x08,
    PIXEL_DEPTH_4 = 0x10,
    PIXEL_DEPTH_8 = 0x18,
    PIXEL_DEPTH_16 = 0x20,
    // Horizontal divider codes: sensor pixels per output pixel 1, 1.5, 2, 3, 4, 6, 8, 12.
    DIVIDER_600 = 0, // ratio 1
    DIVIDER_400 = 1, // ratio 1.5
    DIVIDER_300 = 2, // ratio 2
    DIVIDER_200 = 3, // ratio 3
    DIVIDER_150 = 4, // ratio 4
    DIVIDER_100 = 5, // ratio 6
    DIVIDER_75 = 6,  // ratio 8
    DIVIDER_50 = 7,  // ratio 12

    // REG_CHANNEL_MODE: bits 0-2 select one channel or red, green, blue per pixel.
    CHANNEL_MODE_MASK = 0x07,
    CHANNEL_MODE_GRAY = 0x14,
    CHANNEL_MODE_COLOR = 0x15,
    CHANNELS_COLOR = 5,
    CHANNELS_COLOR_ALT = 1,

    // REG_ILLUMINATION
    ILLUM_OFF = 0,
    ILLUM_PER_CHANNEL = 2, // each colour channel under its own LED
    ILLUM_ALL = 3,         // all LEDs for every channel

    // REG_SHADING_MODE
    SHADING_FIXED_BIT0 = 0x01,   // set by plover's LED exposure measurement only
    SHADING_PIXEL_GAIN = 0x02,   // multiply by the pixel gain tables
    SHADING_PIXEL_OFFSET = 0x04, // subtract the pixel offset tables
    SHADING_BASE = 0x20,
    SHADING_BUFFER_MASK = 0xC0,  // bits 7-6 = 01: the larger line buffer
    SHADING_BUFFER_LARGE = 0x40,
    SHADING_SCAN = SHADING_BASE | SHADING_PIXEL_OFFSET | SHADING_PIXEL_GAIN, // 0x26
    SHADING_OFFSETS_ONLY = SHADING_BASE | SHADING_PIXEL_OFFSET,              // 0x24
    SHADING_LED_MEASURE = SHADING_BASE | SHADING_FIXED_BIT0,                 // 0x21
    SHADING_NONE = SHADING_BASE,                                             // 0x20

    // REG_MOTOR_CONTROL
    MOTOR_SCAN_MOTION = 0x10, // the sheet advances while lines are scanned
    MOTOR_CONTROL_SCAN = 0x13
};

enum : uint16_t { GAIN_UNITY = 0x4000 };

// --- Command register values ---------------------------------------------
enum : uint8_t {
    CMD_STOP = 0x00,       // stop whatever runs
    CMD_FORWARD = 0x01,    // feed motor forward until stopped
    CMD_BACKWARD = 0x02,   // feed motor backward until stopped
    CMD_SCAN = 0x03,       // start scanning; image data at REG_DATA_PORT
    CMD_MOVE_STEPS = 0x05, // move REG_STEP_COUNT steps
    CMD_POWER_DOWN = 0x10,
    CMD_RESET = 0x20       // always followed by CMD_STOP
};

// --- Bulk framing -----------------------------------------------------------
// Every bulk-out chunk starts with: command, register, length high, length low.
enum : uint8_t {
    FRAME_WRITE = 0x00,     // write to one register
    FRAME_READ = 0x01,      // read from one register
    FRAME_WRITE_INC = 0x02, // write with register increment
    FRAME_READ_INC = 0x03,  // read with register increment
    FRAME_HEADER_SIZE = 4,
    FRAME_MAX_CHUNK = 60    // data bytes per write chunk
};

// --- Memory regions of the memory port ---------------------------------------
enum : uint8_t {
    MEM_OFFSET_RED = 0, MEM_GAIN_RED = 1, MEM_GAMMA_RED = 2,
    MEM_OFFSET_GREEN = 4, MEM_GAIN_GREEN = 5, MEM_GAMMA_GREEN = 6,
    MEM_OFFSET_BLUE = 8, MEM_GAIN_BLUE = 9, MEM_GAMMA_BLUE = 10,
    MEM_BUFFER = 0x40 // line buffer SRAM (memory test)
};

enum : uint32_t {
    GAMMA_TABLE_SIZE = 4096, // one output byte per 12-bit input
    SHADING_REGION_WORDS = 4096
};

// Four-byte bulk header of one chunk.
inline void frameHeader(uint8_t out[FRAME_HEADER_SIZE], uint8_t command, uint8_t reg,
                        uint32_t length)
{
    out[0] = command;
    out[1] = reg;
    out[2] = uint8_t(length >> 8);
    out[3] = uint8_t(length);
}

} // namespace lm9831
