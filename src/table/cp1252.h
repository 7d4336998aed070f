#pragma once

#include <cstdint>

namespace orvalis::cp1252 {

// Code points of bytes 0x80..0x9F; 0 marks the five unassigned bytes, which
// stand for the C1 control of the same value, so every byte maps to one
// character and back.
inline constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

inline char16_t Decode(unsigned char b)
{
    return b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0 ? kHigh[b - 0x80] : b;
}

// The byte of a character, or -1 when the code page lacks it.
inline int Encode(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    if (u < 0xA0)
        return kHigh[u - 0x80] == 0 ? u : -1;  // only the unassigned bytes stand for C1 controls
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u)
            return 0x80 + i;
    return -1;
}

}  // namespace orvalis::cp1252
