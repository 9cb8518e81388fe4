// Register addresses, bits, commands, framing codes and memory regions of the
// modelled controller. Every value the model reacts to is named here once.
#pragma once

#include <stdint.h>

namespace scansim {

enum : uint8_t {
    REG_DATA_PORT = 0x00,    // image data (read, without increment)
    REG_STATUS = 0x01,       // STATUS_ bits
    REG_SENSORS = 0x02,      // paper sensor, buttons, sensor variant
    REG_MEM_REGION = 0x03,   // memory region of the memory port
    REG_MEM_ADDR_HI = 0x04,  // memory address, high byte
    REG_MEM_ADDR_LO = 0x05,  // memory address, low byte
    REG_MEM_DATA = 0x06,     // memory data port, auto-incrementing
    REG_COMMAND = 0x07,      // CMD_ values
    REG_PIXEL_FORMAT = 0x09, // bits 0-2 horizontal divider code, bits 3-5 bits per sample
    REG_LINE_LENGTH = 0x20,  // 16-bit, pixel periods per line (caps the LED windows)
    REG_START_PIXEL = 0x22,  // 16-bit, first sensor position of the line window
    REG_END_PIXEL = 0x24,    // 16-bit, last sensor position of the line window
    REG_CHANNEL_MODE = 0x26, // bits 0-2: CHANNELS_COLOR(_ALT) = red, green, blue per pixel
    REG_ILLUMINATION = 0x29, // ILLUM_ values
    REG_LED_RED_ON = 0x2C,   // 16-bit on and off times, red, green, blue
    REG_LED_RED_OFF = 0x2E,
    REG_LED_GREEN_ON = 0x30,
    REG_LED_GREEN_OFF = 0x32,
    REG_LED_BLUE_ON = 0x34,
    REG_LED_BLUE_OFF = 0x36,
    REG_LINE_OFFSET_RED = 0x38, // analog offset codes red, green, blue (0x38-0x3A)
    REG_LINE_GAIN_RED = 0x3B,   // analog gain codes red, green, blue (0x3B-0x3D)
    REG_FIXED_OFFSET = 0x3E,    // 16-bit offset subtracted when no pixel offsets are used
    REG_FIXED_GAIN = 0x40,      // 16-bit gain (0x4000 = 1.0) when no pixel gains are used
    REG_SHADING_MODE = 0x42,    // SHADING_ bits
    REG_MOTOR_CONTROL = 0x45,   // MOTOR_ bits
    REG_STEP_COUNT = 0x4A,      // 16-bit: steps before the first line / steps of CMD_MOVE_STEPS
    REG_STEPS_AFTER_SENSOR = 0x4C, // 16-bit: scanning starts this many steps past the paper sensor
    REG_COUNT = 0x80
};

enum : uint8_t {
    STATUS_SCANNING = 0x01,
    STATUS_MOTOR = 0x02,
    STATUS_POWER_DOWN = 0x80,

    // REG_SENSORS, CCD kind: paper bit is 0 while paper is present, button bit 1 when pressed.
    // CIS kind: paper bit is 1 while paper is present, buttons 1-3 and "other" active high,
    // variant 1 shows SENSOR_VARIANT_A set and SENSOR_VARIANT_B clear, variant 0 the opposite.
    SENSOR_PAPER = 0x01,
    SENSOR_CIS_BUTTON_OTHER = 0x04,
    SENSOR_CIS_VARIANT_A = 0x08,
    SENSOR_CIS_VARIANT_B = 0x10,
    SENSOR_CCD_BUTTON = 0x10,
    SENSOR_CIS_BUTTON_1 = 0x20,
    SENSOR_CIS_BUTTON_2 = 0x40,
    SENSOR_CIS_BUTTON_3 = 0x80,

    PIXEL_FORMAT_DIVIDER = 0x07,
    PIXEL_FORMAT_DEPTH = 0x38,
    PIXEL_DEPTH_1 = 0x00,
    PIXEL_DEPTH_2 = 0x08,
    PIXEL_DEPTH_4 = 0x10,
    PIXEL_DEPTH_8 = 0x18,
    PIXEL_DEPTH_16 = 0x20,

    CHANNEL_MODE_MASK = 0x07,
    CHANNELS_COLOR = 5,
    CHANNELS_COLOR_ALT = 1,

    ILLUM_OFF = 0,
    ILLUM_PER_CHANNEL = 2, // each colour channel under its own LED (driven three times as hard)
    ILLUM_ALL = 3,         // all LEDs together for every channel

    SHADING_PIXEL_GAIN = 0x02,   // multiply by the pixel gain tables instead of the fixed gain
    SHADING_PIXEL_OFFSET = 0x04, // subtract the pixel offset tables instead of the fixed offset

    MOTOR_SCAN_MOTION = 0x10 // the sheet advances while lines are scanned
};

enum : uint8_t {
    CMD_STOP = 0x00,
    CMD_FORWARD = 0x01,
    CMD_BACKWARD = 0x02,
    CMD_SCAN = 0x03,
    CMD_MOVE_STEPS = 0x05,
    CMD_POWER_DOWN = 0x10,
    CMD_RESET = 0x20
};

// Bulk-out frame header: command, register, length high, length low.
enum : uint8_t {
    FRAME_WRITE = 0x00,
    FRAME_READ = 0x01,
    FRAME_WRITE_INC = 0x02,
    FRAME_READ_INC = 0x03,
    FRAME_HEADER_SIZE = 4
};

// Memory regions of the memory port (REG_MEM_REGION).
enum : uint8_t {
    MEM_OFFSET_RED = 0, MEM_GAIN_RED = 1, MEM_GAMMA_RED = 2,
    MEM_OFFSET_GREEN = 4, MEM_GAIN_GREEN = 5, MEM_GAMMA_GREEN = 6,
    MEM_OFFSET_BLUE = 8, MEM_GAIN_BLUE = 9, MEM_GAMMA_BLUE = 10,
    MEM_BUFFER = 0x40
};

enum : uint32_t {
    MEM_SHADING_SIZE = 8192, // 4096 big-endian words per offset or gain table
    MEM_GAMMA_SIZE = 4096,   // one output byte per 12-bit input
    MEM_BUFFER_SIZE = 16384, // line buffer SRAM
    GAIN_UNITY = 0x4000
};

} // namespace scansim
