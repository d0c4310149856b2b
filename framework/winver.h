// Which Windows a program runs on, as GetVersion tells it: the one way to
// read its answer, for the framework and for whatever judges by it.
#pragma once

#include <cstdint>

struct CWindowsVersion {
    bool bNT;           // the NT line (NT 4.0, 2000 and on) rather than 95 to ME
    uint16_t wVersion;  // MAKEWORD(minor, major): 0x040A for Windows 98

    // Whether this is the given version of its line or a later one.
    bool AtLeast(uint16_t w9x, uint16_t wNT) const { return wVersion >= (bNT ? wNT : w9x); }
};

// GetVersion holds the major version in its low byte and the minor one in
// the next, and sets its top bit on 95 to ME.
inline CWindowsVersion ReadWindowsVersion(uint32_t dwGetVersion)
{
    return CWindowsVersion{(dwGetVersion & 0x80000000u) == 0,
                           static_cast<uint16_t>(((dwGetVersion & 0xFF) << 8) | ((dwGetVersion >> 8) & 0xFF))};
}
