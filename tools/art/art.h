// The demo disc's pictures: the scene behind the buttons, the two flames,
// the buttons and the launcher's icon.
#pragma once

#include "tools/art/bmpfile.h"
#include "tools/art/raster.h"
#include "tools/art/text.h"
#include "frame/layout.h"

#include <string>
#include <vector>

// The fonts of the disc, all from the DejaVu family.
struct CFontSet {
    explicit CFontSet(const std::string& directory)
        : m_serifBold(directory + "/DejaVuSerif-Bold.ttf"), m_sansBold(directory + "/DejaVuSans-Bold.ttf"),
          m_sans(directory + "/DejaVuSans.ttf")
    {
    }
    CTypeface m_serifBold, m_sansBold, m_sans;
};

// Where a flame burns: the middle of its base in window coordinates. The
// brazier and the lamp of the scene hold the flames there.
struct FlameSeat {
    LayoutRect rect;
    float baseX, baseY;  // the middle of the fire's root
    float baseHalfWidth; // half the width of the burning fuel
};
FlameSeat SeatOf(const LayoutRect& rect);

// The scene at the layout's background size, without flames: they are drawn
// over it frame by frame.
CCanvas PaintBackground(const CFontSet& fonts, const LauncherLayout& layout);

// nFrames frames of the flame on its seat, each its rectangle of the
// background with the fire painted in. The fire repeats every 16 frames
// exactly, so frames 0 to 15 loop without a seam.
std::vector<CCanvas> PaintFlameFrames(const CCanvas& background, const FlameSeat& seat, int nFrames);

// One picture of a button: its place on the background with the button
// painted over it.
CCanvas PaintButton(const CCanvas& background, const CFontSet& fonts, LauncherButton id, const LayoutRect& place,
                    ButtonImage picture);

// The launcher's icon at 16, 32 and 48 pixels, each in 256 and in 16 colours.
std::vector<IconImage> PaintIcon(const CFontSet& fonts);
