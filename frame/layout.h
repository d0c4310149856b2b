// The launcher window's fixed layout: where every element is drawn, which
// image file fills each slot, and which button lies under a point.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

// A button's id, 1 to 12, or 0 for no button.
typedef int LauncherButton;
constexpr int kButtonCount = 12;
constexpr int kClientWidth = 644, kClientHeight = 456;

// Laid out as the system's RECT: right and bottom are exclusive.
struct LayoutRect {
    int32_t left, top, right, bottom;
};

// The three pictures of a button.
enum ButtonImage { kPictureUp = 0, kPictureFocus = 1, kPictureDown = 2 };

// stem is null for the inactive slots 3 and 5, which have no pictures.
struct ButtonSpec {
    LauncherButton id;
    const char* stem;
    int32_t x, y, width, height;
};

constexpr LayoutRect kBackgroundRect{0, 0, 640, 452};
constexpr LayoutRect kBigFlameRect{339, 62, 389, 198};
constexpr LayoutRect kSmallFlameRect{115, 159, 140, 209};
constexpr int kFlameFrameCount = 30;

// Buttons 1 (install) and 8 (play) share one place; which of them exists
// follows whether the game is installed.
inline const ButtonSpec& LauncherButtonSpec(LauncherButton id)
{
    static const ButtonSpec s_buttons[kButtonCount + 1] = {
        {0, nullptr, 0, 0, 0, 0},
        {1, "8b1", 20, 237, 124, 56},
        {2, "8bdldx7", 500, 237, 124, 56},
        {3, nullptr, 0, 0, 124, 56},
        {4, "8b4", 20, 306, 124, 56},
        {5, nullptr, 0, 0, 124, 56},
        {6, "8b6", 21, 17, 320, 130},
        {7, "8b7", 384, 367, 114, 68},
        {8, "8b8", 20, 237, 124, 56},
        {9, "8bexit", 500, 306, 124, 56},
        {10, "8b10", 20, 376, 124, 56},
        {11, "8bvexa", 150, 347, 114, 87},
        {12, "8orlo", 263, 347, 115, 94},
    };
    return s_buttons[(id >= 1 && id <= kButtonCount) ? id : 0];
}

// The inactive slots keep an empty rectangle, so they are never drawn and
// never hit.
inline LayoutRect ButtonRect(LauncherButton id)
{
    const ButtonSpec& button = LauncherButtonSpec(id);
    if (button.stem == nullptr)
        return LayoutRect{0, 0, 0, 0};
    return LayoutRect{button.x, button.y, button.x + button.width, button.y + button.height};
}

// Every image is drawn whole, from its own top-left corner.
inline LayoutRect SourceRect(const LayoutRect& dest)
{
    return LayoutRect{0, 0, dest.right - dest.left, dest.bottom - dest.top};
}

// The window centred on the screen. The halves truncate toward zero, so a
// screen one pixel too narrow still puts the window at 0; on smaller screens
// the window lies partly off screen.
inline LayoutRect CenteredWindowRect(int32_t screenWidth, int32_t screenHeight)
{
    const int32_t left = int32_t((int64_t(screenWidth) - kClientWidth) / 2);
    const int32_t top = int32_t((int64_t(screenHeight) - kClientHeight) / 2);
    return LayoutRect{left, top, left + kClientWidth, top + kClientHeight};
}

// The enabled button under the point, or 0. A point on any edge of a button is
// outside it, unlike the usual half-open rule: that is meant, and it is what
// separates buttons 11 and 12, which share the column x = 263. Every listed
// test runs and a later hit overwrites an earlier one, with 0 for a disabled
// button. Button 5 is never tested. rects and disabled are indexed by id.
inline LauncherButton HitTestButtons(const LayoutRect (&rects)[kButtonCount + 1],
                                     const int32_t (&disabled)[kButtonCount + 1], bool installed,
                                     int32_t x, int32_t y)
{
    static const LauncherButton s_installedOrder[] = {8, 10, 2, 3, 4, 6, 7, 11, 12, 9};
    static const LauncherButton s_notInstalledOrder[] = {1, 2, 3, 4, 6, 7, 11, 12, 9};
    const LauncherButton* pOrder = installed ? s_installedOrder : s_notInstalledOrder;
    const int nTests = installed ? int(sizeof s_installedOrder / sizeof s_installedOrder[0])
                                 : int(sizeof s_notInstalledOrder / sizeof s_notInstalledOrder[0]);
    LauncherButton hover = 0;
    for (int n = 0; n < nTests; ++n) {
        const LauncherButton id = pOrder[n];
        const LayoutRect& rc = rects[id];
        if (rc.left < x && x < rc.right && rc.top < y && y < rc.bottom)
            hover = disabled[id] ? 0 : id;
    }
    return hover;
}

// The images in the order the launcher loads them.
constexpr int kImageCount = 91;

enum ImageKind { kImageBackground, kImageBigFlame, kImageSmallFlame, kImageButton };

struct ImageSlot {
    ImageKind kind;
    int index;   // frame 0 to 29, or button id
    ButtonImage picture; // for buttons; kPictureUp for the rest
    char name[16]; // file name in the bitmaps folder
    int32_t width, height; // the size of the element it fills
};

namespace layout_detail {

// Appends text to a slot's name; names are short constants that always fit.
inline void AppendName(ImageSlot& slot, int& length, const char* text)
{
    const size_t room = sizeof slot.name - 1 - size_t(length);
    const size_t count = std::min(std::strlen(text), room);
    std::memcpy(slot.name + length, text, count);
    length += int(count);
    slot.name[length] = '\0';
}

inline void AppendFrameNumber(ImageSlot& slot, int& length, int frame)
{
    const char digits[3] = {char('0' + (frame + 1) / 10), char('0' + (frame + 1) % 10), '\0'};
    AppendName(slot, length, digits);
}

} // namespace layout_detail

// Order 0 is the background; 1 to 30 the big flame's frames, 31 to 60 the
// small flame's; then buttons 1, 2, 4, 6, 7, 8, 9, 10, 11, 12, each with its
// up, focus and down picture. Orders out of range give a slot with no name.
inline ImageSlot LauncherImageSlot(int order)
{
    using layout_detail::AppendName;
    static const LauncherButton s_shownButtons[] = {1, 2, 4, 6, 7, 8, 9, 10, 11, 12};
    static const char* const s_pictureSuffix[] = {"u.bmp", "f.bmp", "d.bmp"};

    ImageSlot slot{kImageBackground, 0, kPictureUp, {}, 0, 0};
    int length = 0;
    if (order == 0) {
        AppendName(slot, length, "8bg1.bmp");
        slot.width = kBackgroundRect.right - kBackgroundRect.left;
        slot.height = kBackgroundRect.bottom - kBackgroundRect.top;
    } else if (order >= 1 && order <= 2 * kFlameFrameCount) {
        const bool bBig = order <= kFlameFrameCount;
        const LayoutRect& rc = bBig ? kBigFlameRect : kSmallFlameRect;
        slot.kind = bBig ? kImageBigFlame : kImageSmallFlame;
        slot.index = (order - 1) % kFlameFrameCount;
        AppendName(slot, length, bBig ? "fire" : "fire2_");
        layout_detail::AppendFrameNumber(slot, length, slot.index);
        AppendName(slot, length, ".bmp");
        slot.width = rc.right - rc.left;
        slot.height = rc.bottom - rc.top;
    } else if (order > 2 * kFlameFrameCount && order < kImageCount) {
        const int nButtonOrder = order - 2 * kFlameFrameCount - 1;
        const ButtonSpec& button = LauncherButtonSpec(s_shownButtons[nButtonOrder / 3]);
        slot.kind = kImageButton;
        slot.index = button.id;
        slot.picture = ButtonImage(nButtonOrder % 3);
        AppendName(slot, length, button.stem);
        AppendName(slot, length, s_pictureSuffix[slot.picture]);
        slot.width = button.width;
        slot.height = button.height;
    }
    return slot;
}

// Where a slot's picture is drawn in the window.
inline LayoutRect ImageSlotRect(const ImageSlot& slot)
{
    switch (slot.kind) {
    case kImageBackground: return kBackgroundRect;
    case kImageBigFlame: return kBigFlameRect;
    case kImageSmallFlame: return kSmallFlameRect;
    case kImageButton: break;
    }
    return ButtonRect(slot.index);
}
