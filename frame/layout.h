// The launcher window's layout: where every element is drawn, which image
// file fills each slot, and which button lies under a point. The layout is
// the disc's own, from its identity file: the build writes it into
// identity.h (tools/identity.py), and nothing of it is read at run time.
#pragma once

#include "identity.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// A button's id, 1 to 12, or 0 for no button.
typedef int LauncherButton;
constexpr int kButtonCount = 12;

// Laid out as the system's RECT: right and bottom are exclusive.
struct LayoutRect {
    int32_t left, top, right, bottom;
};

constexpr bool IsEmptyRect(const LayoutRect& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

constexpr bool SameRect(const LayoutRect& a, const LayoutRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The three pictures of a button.
enum ButtonImage { kPictureUp = 0, kPictureFocus = 1, kPictureDown = 2 };

// A flame has at most 30 frame files (the demo's), of which the launcher
// shows the first 16.
constexpr int kFlameFrameCount = 30;
constexpr int kShownFlameFrames = 16;
enum Flame { kBigFlame = 0, kSmallFlame = 1 };

// The window is the background and this many pixels more to the right and
// below, where nothing is drawn.
constexpr int kWindowMargin = 4;

// A disc's layout. An element that is not on the disc has an empty
// rectangle, and a flame then no frame files; so have the inactive slots 3
// and 5, which are never drawn and never hit, and entry 0.
struct LauncherLayout {
    LayoutRect background;                // at (0, 0), the picture's size
    LayoutRect buttons[kButtonCount + 1]; // by LauncherButton
    LayoutRect flames[2];                 // by Flame
    int32_t flameFiles[2];                // 16, 30, or 0
};

// The stems of the pictures' file names, the same on every disc: a button's
// are stem + "u.bmp", "f.bmp" and "d.bmp", a flame's stem + "01.bmp" on.
struct PictureStems {
    const char* background;
    const char* flames[2];
    const char* buttons[kButtonCount + 1]; // null for the inactive slots
};

// The layout of the disc this tree builds for; the native tree's, where the
// disc tools and the tests run, is the demo's.
constexpr LauncherLayout kBuiltLayout = ZEPH_LAYOUT;
constexpr PictureStems kPictureStems = ZEPH_PICTURE_STEMS;

constexpr LayoutRect kBackgroundRect = kBuiltLayout.background;
constexpr LayoutRect kBigFlameRect = kBuiltLayout.flames[kBigFlame];
constexpr LayoutRect kSmallFlameRect = kBuiltLayout.flames[kSmallFlame];
constexpr int kClientWidth = kBackgroundRect.right + kWindowMargin;
constexpr int kClientHeight = kBackgroundRect.bottom + kWindowMargin;

// Buttons 1 (install) and 8 (play) may share one place; which of them
// exists follows whether the game is installed. Ids out of range have no
// place.
inline LayoutRect ButtonRect(LauncherButton id, const LauncherLayout& layout = kBuiltLayout)
{
    return (id >= 1 && id <= kButtonCount) ? layout.buttons[id] : LayoutRect{0, 0, 0, 0};
}

// Every image is drawn whole, from its own top-left corner.
inline LayoutRect SourceRect(const LayoutRect& dest)
{
    return LayoutRect{0, 0, dest.right - dest.left, dest.bottom - dest.top};
}

// The window centred on the screen. The halves truncate toward zero, so a
// screen one pixel too narrow still puts the window at 0; on smaller screens
// the window lies partly off screen.
inline LayoutRect CenteredWindowRect(int32_t screenWidth, int32_t screenHeight,
                                     const LauncherLayout& layout = kBuiltLayout)
{
    const int32_t width = layout.background.right + kWindowMargin;
    const int32_t height = layout.background.bottom + kWindowMargin;
    const int32_t left = int32_t((int64_t(screenWidth) - width) / 2);
    const int32_t top = int32_t((int64_t(screenHeight) - height) / 2);
    return LayoutRect{left, top, left + width, top + height};
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

// The buttons whose pictures the launcher loads, in its order; those that
// are not on the disc are passed over.
constexpr LauncherButton kLoadedButtons[] = {1, 2, 4, 6, 7, 8, 9, 10, 11, 12};

// How many images the launcher loads: the background, each flame's frame
// files, and three pictures for each button on the disc.
constexpr int ImageCount(const LauncherLayout& layout)
{
    int count = 1 + layout.flameFiles[kBigFlame] + layout.flameFiles[kSmallFlame];
    for (LauncherButton id : kLoadedButtons)
        count += IsEmptyRect(layout.buttons[id]) ? 0 : 3;
    return count;
}
constexpr int kImageCount = ImageCount(kBuiltLayout);

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

inline void SetSize(ImageSlot& slot, const LayoutRect& rc)
{
    slot.width = rc.right - rc.left;
    slot.height = rc.bottom - rc.top;
}

} // namespace layout_detail

// Order 0 is the background; then the big flame's frames and the small
// flame's (1 to 30 and 31 to 60 on the demo disc); then the buttons on the
// disc, of 1, 2, 4, 6, 7, 8, 9, 10, 11 and 12, each with its up, focus and
// down picture. Orders out of range give a slot with no name.
inline ImageSlot LauncherImageSlot(int order, const LauncherLayout& layout = kBuiltLayout)
{
    using layout_detail::AppendName;
    static const char* const s_pictureSuffix[] = {"u.bmp", "f.bmp", "d.bmp"};

    ImageSlot slot{kImageBackground, 0, kPictureUp, {}, 0, 0};
    int length = 0;
    if (order < 0)
        return slot;
    if (order == 0) {
        AppendName(slot, length, kPictureStems.background);
        AppendName(slot, length, ".bmp");
        layout_detail::SetSize(slot, layout.background);
        return slot;
    }
    int n = order - 1;
    for (int flame : {kBigFlame, kSmallFlame}) {
        if (n < layout.flameFiles[flame]) {
            slot.kind = flame == kBigFlame ? kImageBigFlame : kImageSmallFlame;
            slot.index = n;
            AppendName(slot, length, kPictureStems.flames[flame]);
            layout_detail::AppendFrameNumber(slot, length, n);
            AppendName(slot, length, ".bmp");
            layout_detail::SetSize(slot, layout.flames[flame]);
            return slot;
        }
        n -= layout.flameFiles[flame];
    }
    for (LauncherButton id : kLoadedButtons) {
        if (IsEmptyRect(layout.buttons[id]))
            continue;
        if (n < 3) {
            slot.kind = kImageButton;
            slot.index = id;
            slot.picture = ButtonImage(n);
            AppendName(slot, length, kPictureStems.buttons[id]);
            AppendName(slot, length, s_pictureSuffix[n]);
            layout_detail::SetSize(slot, layout.buttons[id]);
            return slot;
        }
        n -= 3;
    }
    return slot;
}

// Where a slot's picture is drawn in the window.
inline LayoutRect ImageSlotRect(const ImageSlot& slot, const LauncherLayout& layout = kBuiltLayout)
{
    switch (slot.kind) {
    case kImageBackground: return layout.background;
    case kImageBigFlame: return layout.flames[kBigFlame];
    case kImageSmallFlame: return layout.flames[kSmallFlame];
    case kImageButton: break;
    }
    return ButtonRect(slot.index, layout);
}
