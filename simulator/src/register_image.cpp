#include "register_image.h"

#include <stdio.h>
#include <string.h>

namespace scansim {

void RegisterImage::clear() { memset(bytes_, 0, sizeof bytes_); }

void RegisterImage::set16(uint8_t reg, uint16_t value)
{
    set8(reg, uint8_t(value >> 8));
    set8(uint8_t(reg + 1), uint8_t(value & 0xFF));
}

uint16_t RegisterImage::get16(uint8_t reg) const
{
    return uint16_t((get8(reg) << 8) | get8(uint8_t(reg + 1)));
}

std::string RegisterImage::format() const
{
    std::string out;
    char text[8];
    for (int r = 0; r < REG_COUNT; ++r) {
        if (r % 16 == 0) {
            snprintf(text, sizeof text, "%02X:", r);
            out += text;
        }
        snprintf(text, sizeof text, " %02X", bytes_[r]);
        out += text;
        if (r % 16 == 15)
            out += '\n';
    }
    return out;
}

std::string RegisterImage::diff(const RegisterImage& other) const
{
    std::string out;
    char text[32];
    for (int r = 0; r < REG_COUNT; ++r) {
        if (bytes_[r] != other.bytes_[r]) {
            snprintf(text, sizeof text, "0x%02X: %02X -> %02X\n", r, bytes_[r], other.bytes_[r]);
            out += text;
        }
    }
    return out;
}

} // namespace scansim
