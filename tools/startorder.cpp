// Prints the files a disc's launcher reads as it starts, after the program
// itself, one path a line relative to the disc's root, in the order it reads
// them: what the image is mastered in, so that a drive reads them in one
// forward sweep.
//
//   startorder [--layout FILE]     the demo's layout, or the disc's
#include "tools/layoutfile.h"

#include <cstdio>

int main(int argc, char** argv)
{
    std::vector<const char*> args(argv + 1, argv + argc);
    LauncherLayout layout;
    if (!TakeToolArguments(args, 0, argv[0], "usage: %s [--layout FILE]\n", layout))
        return 2;
    for (int nOrder = 0; nOrder < ImageCount(layout); ++nOrder)
        std::printf("bitmaps/%s\n", LauncherImageSlot(nOrder, layout).name);
    return 0;
}
