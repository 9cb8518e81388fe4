// The controller's register file as a value: 128 bytes, 16-bit pairs high byte first.
#pragma once

#include "chip_registers.h"

#include <stdint.h>
#include <string>

namespace scansim {

class RegisterImage {
public:
    RegisterImage() { clear(); }
    void clear();
    void set8(uint8_t reg, uint8_t value) { bytes_[reg & 0x7F] = value; }
    uint8_t get8(uint8_t reg) const { return bytes_[reg & 0x7F]; }
    void set16(uint8_t reg, uint16_t value);
    uint16_t get16(uint8_t reg) const;
    const uint8_t* data() const { return bytes_; }
    // Sixteen registers per line: "20: 05 78 00 18 ..."
    std::string format() const;
    // One line per differing register: "0x42: 26 -> 24"
    std::string diff(const RegisterImage& other) const;

private:
    uint8_t bytes_[REG_COUNT];
};

} // namespace scansim
