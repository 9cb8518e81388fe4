// Damaged BMP files: good seed files and a mutation step that breaks headers,
// cuts files short or adds trailing bytes. Shared by the fuzz test and the long
// fuzz run.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bmp_builder.h"

namespace bmptest {

inline std::vector<std::vector<uint8_t>> Seeds()
{
    Random random(2024);
    Layout topDown;
    topDown.topDown = true;
    Layout core;
    core.coreHeader = true;
    return {
        Encode(RandomPicture(23, 9, 1, random)),
        Encode(RandomPicture(17, 12, 4, random)),
        Encode(RandomPicture(31, 5, 8, random), topDown),
        Encode(RandomPicture(9, 14, 24, random)),
        Encode(RandomPicture(12, 6, 8, random), core),
        Encode(RandomPicture(7, 7, 24, random), core),
    };
}

// Header fields worth pushing to the extremes.
inline const size_t kFieldOffsets[] = {2, 10, 14, 18, 22, 26, 28, 30, 34, 38, 46, 50};

inline uint32_t Interesting(Random& random, size_t fileSize)
{
    switch (random.Below(10)) {
    case 0: return 0;
    case 1: return 1;
    case 2: return 0xFFFFFFFFu;
    case 3: return 0x7FFFFFFFu;
    case 4: return 0x80000000u;
    case 5: return static_cast<uint32_t>(fileSize + random.Below(9)) - 4;
    case 6: return random.Below(2000);
    case 7: return 12;
    case 8: return 40;
    default: return random.Next();
    }
}

inline std::vector<uint8_t> Mutate(std::vector<uint8_t> b, Random& random)
{
    const int steps = 1 + random.Below(3);
    for (int s = 0; s < steps; ++s) {
        switch (random.Below(5)) {
        case 0: {  // flip bytes near the headers
            const int flips = 1 + random.Below(6);
            for (int i = 0; i < flips && !b.empty(); ++i)
                b[random.Below(static_cast<uint32_t>(std::min<size_t>(b.size(), 120)))] ^=
                    static_cast<uint8_t>(1 + random.Below(255));
            break;
        }
        case 1:
        case 2: {  // a header field set to an extreme
            const size_t at = kFieldOffsets[random.Below(sizeof kFieldOffsets / sizeof kFieldOffsets[0])];
            if (at + 4 <= b.size()) {
                if (at == 26 || at == 28)
                    Put16(b, at, static_cast<uint16_t>(Interesting(random, b.size())));
                else
                    Put32(b, at, Interesting(random, b.size()));
            }
            break;
        }
        case 3:  // cut short
            b.resize(random.Below(static_cast<uint32_t>(b.size() + 1)));
            break;
        default:  // trailing bytes
            for (uint32_t n = random.Below(64); n > 0; --n)
                b.push_back(static_cast<uint8_t>(random.Next()));
            break;
        }
    }
    return b;
}

}  // namespace bmptest
