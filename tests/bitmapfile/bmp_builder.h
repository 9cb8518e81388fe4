// Builds BMP files for the tests from a plain picture description, and keeps
// them in the temp folder only as long as a test needs them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace bmptest {

// A picture, top row first. For 1 to 8 bits a pixel is a colour table index;
// for 24 bits it is 0xRRGGBB.
struct Picture {
    int width = 0;
    int height = 0;
    int bits = 8;
    std::vector<RGBQUAD> table;
    std::vector<uint32_t> pixels;

    uint32_t At(int row, int col) const { return pixels[static_cast<size_t>(row) * width + col]; }
};

struct Layout {
    bool topDown = false;      // negative height, first line in the file is the top
    bool coreHeader = false;   // 12-byte header with 3-byte colour entries
    int32_t pixelsPerMetre = 0;
};

inline int Stride(int width, int bits)
{
    return ((width * bits + 31) / 32) * 4;
}

inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// Encodes the picture as a BMP file, written byte by byte from the format's
// description rather than through the Windows structures.
inline std::vector<uint8_t> Encode(const Picture& p, const Layout& layout = Layout())
{
    const size_t entries = p.bits <= 8 ? (size_t(1) << p.bits) : 0;
    const size_t headerSize = layout.coreHeader ? 12 : 40;
    const size_t entrySize = layout.coreHeader ? 3 : 4;
    const size_t offset = 14 + headerSize + entries * entrySize;
    const int stride = Stride(p.width, p.bits);
    std::vector<uint8_t> b(offset + static_cast<size_t>(stride) * p.height, 0);

    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, static_cast<uint32_t>(offset));
    Put32(b, 14, static_cast<uint32_t>(headerSize));
    if (layout.coreHeader) {
        Put16(b, 18, static_cast<uint16_t>(p.width));
        Put16(b, 20, static_cast<uint16_t>(p.height));
        Put16(b, 22, 1);
        Put16(b, 24, static_cast<uint16_t>(p.bits));
    } else {
        Put32(b, 18, static_cast<uint32_t>(p.width));
        Put32(b, 22, static_cast<uint32_t>(layout.topDown ? -p.height : p.height));
        Put16(b, 26, 1);
        Put16(b, 28, static_cast<uint16_t>(p.bits));
        Put32(b, 34, static_cast<uint32_t>(stride * p.height));
        Put32(b, 38, static_cast<uint32_t>(layout.pixelsPerMetre));
        Put32(b, 42, static_cast<uint32_t>(layout.pixelsPerMetre));
        Put32(b, 46, static_cast<uint32_t>(entries));
    }
    for (size_t i = 0; i < entries && i < p.table.size(); ++i) {
        uint8_t* e = &b[14 + headerSize + i * entrySize];
        e[0] = p.table[i].rgbBlue;
        e[1] = p.table[i].rgbGreen;
        e[2] = p.table[i].rgbRed;
        if (entrySize == 4)
            e[3] = p.table[i].rgbReserved;
    }
    for (int row = 0; row < p.height; ++row) {
        const int fileLine = layout.topDown ? row : p.height - 1 - row;
        uint8_t* line = &b[offset + static_cast<size_t>(fileLine) * stride];
        for (int col = 0; col < p.width; ++col) {
            const uint32_t v = p.At(row, col);
            switch (p.bits) {
            case 1: line[col / 8] |= static_cast<uint8_t>((v & 1) << (7 - col % 8)); break;
            case 4: line[col / 2] |= static_cast<uint8_t>((v & 15) << (col % 2 ? 0 : 4)); break;
            case 8: line[col] = static_cast<uint8_t>(v); break;
            case 24:
                line[3 * col] = static_cast<uint8_t>(v);
                line[3 * col + 1] = static_cast<uint8_t>(v >> 8);
                line[3 * col + 2] = static_cast<uint8_t>(v >> 16);
                break;
            }
        }
    }
    return b;
}

inline RGBQUAD Quad(int red, int green, int blue, int reserved = 0)
{
    RGBQUAD q;
    q.rgbRed = static_cast<BYTE>(red);
    q.rgbGreen = static_cast<BYTE>(green);
    q.rgbBlue = static_cast<BYTE>(blue);
    q.rgbReserved = static_cast<BYTE>(reserved);
    return q;
}

// The colour tables the scan engine writes: black and white, 16 grays, 256 grays.
inline std::vector<RGBQUAD> ScannerTable(int bits)
{
    std::vector<RGBQUAD> t;
    if (bits == 1) {
        t = {Quad(0, 0, 0), Quad(255, 255, 255)};
    } else if (bits == 4) {
        for (int i = 0; i < 15; ++i)
            t.push_back(Quad(i * 16, i * 16, i * 16));
        t.push_back(Quad(255, 255, 255));
    } else if (bits == 8) {
        for (int i = 0; i < 256; ++i)
            t.push_back(Quad(i, i, i));
    }
    return t;
}

// A deterministic pseudo-random sequence (xorshift32).
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    uint32_t Next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }

private:
    uint32_t state_;
};

// A picture of the given size filled with pseudo-random pixels.
inline Picture RandomPicture(int width, int height, int bits, Random& random)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.bits = bits;
    p.table = ScannerTable(bits);
    p.pixels.resize(static_cast<size_t>(width) * height);
    const uint32_t range = bits == 24 ? 0x1000000u : (1u << bits);
    for (auto& v : p.pixels)
        v = random.Below(range);
    return p;
}

// A file in the temp folder, deleted when the object goes.
class TempFile {
public:
    explicit TempFile(const std::string& stem)
    {
        char dir[MAX_PATH];
        DWORD n = GetTempPathA(sizeof dir, dir);
        path_ = std::string(n ? dir : ".\\") + "kestrel_bmp_" + stem + "_" +
                std::to_string(GetCurrentProcessId()) + ".bmp";
    }
    TempFile(const std::string& stem, const std::vector<uint8_t>& bytes) : TempFile(stem) { Write(bytes); }
    ~TempFile() { DeleteFileA(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Write(const std::vector<uint8_t>& bytes) const
    {
        HANDLE f = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        BOOL ok = bytes.empty() ||
                  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
        return ok && written == bytes.size();
    }

    // True when nothing holds the file open any more.
    bool Deletable() const { return DeleteFileA(path_.c_str()) != FALSE; }

    const char* Path() const { return path_.c_str(); }

private:
    std::string path_;
};

}  // namespace bmptest
