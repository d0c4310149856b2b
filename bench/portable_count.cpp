// The launcher's own portable work, counted in instructions under callgrind:
// the hit test of one pointer move, and the checks DrawDib makes on an image
// before it hands the image to the system. The counts show how little of a
// hover change or a repaint is the launcher's own arithmetic.
//
//   portable_count hit N        N hit tests, between two buttons
//   portable_count dib N FILE   N rounds of the checks on one bitmap file
//
// Run under valgrind --tool=callgrind --toggle-collect=CountOne*, so that only
// the counted calls are measured.
#include "dib/dib_format.h"
#include "frame/layout.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" {

__attribute__((noinline)) int CountOneHitTest(const LayoutRect (&rects)[kButtonCount + 1],
                                              const int32_t (&disabled)[kButtonCount + 1],
                                              int32_t x, int32_t y)
{
    return HitTestButtons(rects, disabled, false, x, y);
}

__attribute__((noinline)) intptr_t CountOneDibCheck(const uint8_t* pDib, size_t cbDib)
{
    if (!DibFitsBlock(pDib, cbDib))
        return 0;
    return DibPixelHeight(pDib, cbDib) + reinterpret_cast<intptr_t>(DibBitsPointer(pDib, cbDib));
}

}  // extern "C"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: portable_count hit N | dib N FILE\n");
        return 2;
    }
    const long nRounds = std::atol(argv[2]);
    volatile intptr_t sink = 0;
    if (std::strcmp(argv[1], "hit") == 0) {
        LayoutRect rects[kButtonCount + 1];
        int32_t disabled[kButtonCount + 1] = {};
        for (int id = 0; id <= kButtonCount; ++id)
            rects[id] = ButtonRect(id);
        disabled[3] = disabled[5] = 1;
        // The centres of the download and exit buttons, one above the other.
        for (long n = 0; n < nRounds; ++n)
            sink = sink + CountOneHitTest(rects, disabled, 562, n % 2 ? 334 : 265);
    } else if (std::strcmp(argv[1], "dib") == 0 && argc == 4) {
        std::ifstream file(argv[3], std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
        if (bytes.size() < 14)
            return 2;
        // In memory the image is the file without its 14-byte header, in a
        // block of the file's length.
        std::vector<uint8_t> block(bytes.begin() + 14, bytes.end());
        block.resize(bytes.size(), 0);
        for (long n = 0; n < nRounds; ++n)
            sink = sink + CountOneDibCheck(block.data(), block.size());
    } else {
        return 2;
    }
    return sink == 0 ? 1 : 0;
}
