// What bmpset prints after a run: how the colour table is used, whether the
// flames hold still where their art does, and how close each picture stays
// to its art.
#pragma once

#include "tools/bmpset/artpng.h"
#include "tools/bmpset/remap.h"

#include <vector>

void PrintSummary(const std::vector<ArtPicture>& pictures, const RemappedSet& set);
