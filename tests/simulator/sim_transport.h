// Test-side framing of the two drivers' transports, built from the wire format the
// drivers document, plus small helpers to drive a simulated device through the
// simulator's io functions.
#pragma once

#include "scansim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <thread>
#include <vector>

namespace simtest {

enum : uint8_t { W_ONE = 0x00, R_ONE = 0x01, W_INC = 0x02, R_INC = 0x03 };

// A handle of the simulator's io functions; 0 when the device is absent.
typedef intptr_t Handle;

// The usbscan device descriptor, as scansim_io_control answers it.
struct Descriptor {
    uint16_t vendorId, productId, deviceRelease, languageId;
};

inline Handle openDevice(int index)
{
    char name[32];
    snprintf(name, sizeof name, "\\\\.\\usbscan%d", index);
    return scansim_io_open(name);
}

inline void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Both drivers send 60-byte chunks with 4-byte headers, collected into one bulk
// transfer until it holds at least `flushAt` bytes (or the data ends).
inline void framedWrite(Handle h, uint8_t reg, const uint8_t* data, uint32_t count, bool inc,
                        int64_t flushAt)
{
    std::vector<uint8_t> transfer;
    uint32_t done = 0;
    while (done < count) {
        uint32_t n = count - done < 60 ? count - done : 60;
        transfer.push_back(inc ? W_INC : W_ONE);
        transfer.push_back(uint8_t(inc ? reg + done : reg));
        transfer.push_back(uint8_t(n >> 8));
        transfer.push_back(uint8_t(n));
        transfer.insert(transfer.end(), data + done, data + done + n);
        done += n;
        if (int64_t(transfer.size()) >= flushAt || done == count) {
            uint32_t written = 0;
            scansim_io_write(h, transfer.data(), uint32_t(transfer.size()), &written);
            transfer.clear();
        }
    }
}

// plover: a transfer goes out once it holds 191 bytes or more.
inline void ploverWrite(Handle h, uint8_t reg, const uint8_t* data, uint32_t count, bool inc)
{
    framedWrite(h, reg, data, count, inc, 191);
}

// wren: a transfer goes out once it holds at least (length - 59) bytes.
inline void wrenWrite(Handle h, uint8_t reg, const uint8_t* data, uint32_t count, bool inc)
{
    framedWrite(h, reg, data, count, inc, int64_t(count) - 59);
}

inline void writeReg(Handle h, uint8_t reg, uint8_t value) { ploverWrite(h, reg, &value, 1, false); }

// plover: chunks of at most 63488 bytes, one header per chunk. Returns the bytes received.
inline uint32_t ploverRead(Handle h, uint8_t reg, uint8_t* buffer, uint32_t count, bool inc)
{
    uint32_t got = 0;
    while (got < count) {
        uint32_t n = count - got < 0xF800 ? count - got : 0xF800;
        uint8_t header[4] = {inc ? R_INC : R_ONE, uint8_t(inc ? reg + got : reg), uint8_t(n >> 8),
                             uint8_t(n)};
        uint32_t written = 0, received = 0;
        scansim_io_write(h, header, 4, &written);
        scansim_io_read(h, buffer + got, n, &received);
        got += received;
        if (received < n)
            break;
    }
    return got;
}

inline uint8_t readReg(Handle h, uint8_t reg)
{
    uint8_t v = 0xEE;
    ploverRead(h, reg, &v, 1, false);
    return v;
}

// The recorded transfers of the log, as text lines ("W 02 00 ...", "R 100/100").
inline std::vector<std::string> logLines()
{
    std::vector<char> text(scansim_log_text(nullptr, 0));
    scansim_log_text(text.data(), uint32_t(text.size()));
    std::vector<std::string> lines;
    std::string current;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(current);
            current.clear();
        } else if (c) {
            current += c;
        }
    }
    return lines;
}

inline std::string hexLine(const char* prefix, const std::vector<uint8_t>& bytes)
{
    std::string s = prefix;
    char b[8];
    for (uint8_t v : bytes) {
        snprintf(b, sizeof b, " %02X", v);
        s += b;
    }
    return s;
}

// A register image with set8/set16 (high byte first), written as a whole from 0x00.
struct Regs {
    uint8_t r[127] = {};
    void set8(uint8_t reg, uint8_t v) { r[reg] = v; }
    void set16(uint8_t reg, uint16_t v) { r[reg] = uint8_t(v >> 8); r[reg + 1] = uint8_t(v); }
    void write(Handle h) const { ploverWrite(h, 0x00, r, sizeof r, true); }
};

// A fresh simulator with one CCD device at index 0, opened through the seam.
class CcdDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scansim_reset();
        ASSERT_EQ(1, scansim_attach(0, SCANSIM_KIND_CCD, 0x0400, 0x1000));
        h = openDevice(0);
        ASSERT_NE(0, h);
    }
    void TearDown() override { scansim_io_close(h); }

    Handle h = 0;
};

} // namespace simtest
