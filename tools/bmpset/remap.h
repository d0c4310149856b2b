// One colour table for the launcher's pictures, and every picture in it.
#pragma once

#include "tools/art/bmpfile.h"
#include "tools/bmpset/artpng.h"

#include <vector>

struct RemappedSet {
    Palette table;                    // the static colours at 0 to 9 and 246 to 255
    int nChosen = 0;                  // entries from 10 on chosen for the art
    std::vector<IndexedImage> images; // in the order of the pictures given
};

// Chooses the table over all pictures together and remaps each to it. The
// pictures come in the launcher's load order for the layout, the background
// first. Throws std::runtime_error when the quantisation library fails.
RemappedSet RemapToOneTable(const std::vector<ArtPicture>& pictures, const LauncherLayout& layout);
