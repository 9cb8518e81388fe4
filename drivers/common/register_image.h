// A controller register image: 128 bytes indexed by register number, 16-bit
// values high byte first. Printable as text so tests can diff two images and a
// log can show one.
#pragma once

#include "lm9831_registers.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <string>

namespace lm9831 {

class RegisterImage {
public:
    RegisterImage() { clear(); }
    void clear() { memset(bytes_, 0, sizeof bytes_); }
    void set8(uint8_t reg, uint8_t value) { bytes_[reg & REG_LAST] = value; }
    uint8_t get8(uint8_t reg) const { return bytes_[reg & REG_LAST]; }
    void set16(uint8_t reg, uint16_t value)
    {
        set8(reg, uint8_t(value >> 8));
        set8(uint8_t(reg + 1), uint8_t(value & 0xFF));
    }
    uint16_t get16(uint8_t reg) const
    {
        return uint16_t(get8(reg) << 8 | get8(uint8_t(reg + 1)));
    }
    const uint8_t* data() const { return bytes_; }
    uint8_t* data() { return bytes_; }

    // Sixteen registers per line: "20: 05 78 00 18 ...", `count` registers from 0.
    std::string format(uint32_t count = REGISTER_FILE_SIZE) const
    {
        std::string out;
        char text[8];
        for (uint32_t r = 0; r < count && r < REGISTER_FILE_SIZE; ++r) {
            if (r % 16 == 0) {
                snprintf(text, sizeof text, "%02X:", unsigned(r));
                out += text;
            }
            snprintf(text, sizeof text, " %02X", bytes_[r]);
            out += text;
            if (r % 16 == 15 || r + 1 == count)
                out += '\n';
        }
        return out;
    }

    // One line per differing register: "0x42: 26 -> 24".
    std::string diff(const RegisterImage& other) const
    {
        std::string out;
        char text[32];
        for (uint32_t r = 0; r < REGISTER_FILE_SIZE; ++r) {
            if (bytes_[r] != other.bytes_[r]) {
                snprintf(text, sizeof text, "0x%02X: %02X -> %02X\n", unsigned(r), bytes_[r],
                         other.bytes_[r]);
                out += text;
            }
        }
        return out;
    }

private:
    uint8_t bytes_[REGISTER_FILE_SIZE];
};

} // namespace lm9831
