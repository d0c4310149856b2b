// Prints the files a disc's launcher reads as it starts, after the program
// itself, one path a line relative to the disc's root, in the order it reads
// them: what the image is mastered in, so that a drive reads them in one
// forward sweep.
#include "frame/layout.h"

#include <cstdio>

int main()
{
    for (int nOrder = 0; nOrder < kImageCount; ++nOrder)
        std::printf("bitmaps/%s\n", LauncherImageSlot(nOrder).name);
    return 0;
}
