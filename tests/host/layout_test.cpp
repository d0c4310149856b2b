// The window's placement, the button table, the hit test and the image order.
#include "frame/layout.h"
#include "tools/layoutfile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

bool SameRect(const LayoutRect& rc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return rc.left == left && rc.top == top && rc.right == right && rc.bottom == bottom;
}

// The buttons as the launcher window sets them up: every rectangle from the
// table, and only the inactive slots disabled.
class LauncherHitTest : public ::testing::Test {
protected:
    LauncherHitTest()
    {
        for (int id = 0; id <= kButtonCount; ++id) {
            m_rcButton[id] = id == 0 ? LayoutRect{0, 0, 0, 0} : ButtonRect(id);
            m_bDisabled[id] = (id == 3 || id == 5);
        }
    }
    int Hit(bool installed, int32_t x, int32_t y) const
    {
        return HitTestButtons(m_rcButton, m_bDisabled, installed, x, y);
    }

    LayoutRect m_rcButton[kButtonCount + 1];
    int32_t m_bDisabled[kButtonCount + 1];
};

} // namespace

TEST(WindowPlacement, CentredWithHalvesTruncatedTowardZero)
{
    EXPECT_TRUE(SameRect(CenteredWindowRect(1024, 768), 190, 156, 834, 612));
    EXPECT_TRUE(SameRect(CenteredWindowRect(800, 600), 78, 72, 722, 528));
    // (643 - 644) / 2 is 0, not -1.
    EXPECT_EQ(0, CenteredWindowRect(643, 768).left);
    EXPECT_EQ(0, CenteredWindowRect(1024, 455).top);
    // Smaller screens leave the window partly off screen.
    EXPECT_TRUE(SameRect(CenteredWindowRect(640, 400), -2, -28, 642, 428));
    EXPECT_TRUE(SameRect(CenteredWindowRect(0, 0), -322, -228, 322, 228));
    const LayoutRect rcExtreme = CenteredWindowRect(INT32_MIN, INT32_MAX);
    EXPECT_EQ(kClientWidth, rcExtreme.right - rcExtreme.left);
    EXPECT_EQ(kClientHeight, rcExtreme.bottom - rcExtreme.top);
}

TEST(ButtonTable, RectanglesAndPictures)
{
    EXPECT_TRUE(SameRect(ButtonRect(1), 20, 237, 144, 293));
    EXPECT_TRUE(SameRect(ButtonRect(8), 20, 237, 144, 293));
    EXPECT_TRUE(SameRect(ButtonRect(10), 20, 376, 144, 432));
    EXPECT_TRUE(SameRect(ButtonRect(6), 21, 17, 341, 147));
    EXPECT_TRUE(SameRect(ButtonRect(11), 150, 347, 264, 434));
    EXPECT_TRUE(SameRect(ButtonRect(12), 263, 347, 378, 441));
    // The inactive slots have no pictures and an empty place.
    for (int id : {3, 5}) {
        EXPECT_EQ(nullptr, kPictureStems.buttons[id]);
        EXPECT_TRUE(SameRect(ButtonRect(id), 0, 0, 0, 0));
    }
    EXPECT_TRUE(SameRect(ButtonRect(0), 0, 0, 0, 0));
    EXPECT_TRUE(SameRect(ButtonRect(13), 0, 0, 0, 0));
    EXPECT_TRUE(SameRect(SourceRect(ButtonRect(12)), 0, 0, 115, 94));
    EXPECT_TRUE(SameRect(SourceRect(kBigFlameRect), 0, 0, 50, 136));
    EXPECT_TRUE(SameRect(SourceRect(kSmallFlameRect), 0, 0, 25, 50));
    // Every element lies within the 640 x 452 picture.
    for (int id = 1; id <= kButtonCount; ++id) {
        const LayoutRect rc = ButtonRect(id);
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= 640 && rc.bottom <= 452) << id;
    }
}

TEST_F(LauncherHitTest, EdgesOfAButtonAreOutside)
{
    for (auto pt : {std::make_pair(20, 250), {144, 250}, {50, 237}, {50, 293}})
        EXPECT_EQ(0, Hit(false, pt.first, pt.second)) << pt.first << "," << pt.second;
    for (auto pt : {std::make_pair(21, 250), {143, 250}, {50, 238}, {50, 292}})
        EXPECT_EQ(1, Hit(false, pt.first, pt.second)) << pt.first << "," << pt.second;
}

TEST_F(LauncherHitTest, InstalledDecidesBetweenInstallPlayAndUninstall)
{
    EXPECT_EQ(8, Hit(true, 50, 260));
    EXPECT_EQ(10, Hit(true, 50, 400));
    EXPECT_EQ(1, Hit(false, 50, 260));
    EXPECT_EQ(0, Hit(false, 50, 400));
}

TEST_F(LauncherHitTest, TouchingButtonsSplitTheSharedColumn)
{
    EXPECT_EQ(11, Hit(false, 263, 400));
    EXPECT_EQ(12, Hit(false, 264, 400));
    EXPECT_EQ(12, Hit(true, 264, 440));
    EXPECT_EQ(0, Hit(true, 264, 441));
}

TEST_F(LauncherHitTest, EveryButtonAtItsCentreNothingOutside)
{
    for (bool installed : {false, true}) {
        for (int id : {1, 2, 4, 6, 7, 8, 9, 10, 11, 12}) {
            const LayoutRect rc = ButtonRect(id);
            // Where a button is not shown, its place finds the one that is.
            int expected = id;
            if (installed && id == 1)
                expected = 8;
            else if (!installed && id == 8)
                expected = 1;
            else if (!installed && id == 10)
                expected = 0;
            EXPECT_EQ(expected, Hit(installed, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2))
                << id << (installed ? " installed" : "");
        }
        EXPECT_EQ(0, Hit(installed, 0, 0));
        EXPECT_EQ(0, Hit(installed, 643, 455));
        EXPECT_EQ(0, Hit(installed, -100, 250));
    }
}

TEST_F(LauncherHitTest, LaterHitOverwritesAndDisabledGivesNone)
{
    // Buttons 2 and 4 made to overlap; 4 is tested after 2.
    m_rcButton[4] = m_rcButton[2];
    EXPECT_EQ(4, Hit(false, 550, 260));
    m_bDisabled[4] = 1;
    EXPECT_EQ(0, Hit(false, 550, 260));
    m_bDisabled[4] = 0;
    m_bDisabled[2] = 1;
    EXPECT_EQ(4, Hit(false, 550, 260));

    // Slot 3 is tested, slot 5 never is.
    m_rcButton[3] = m_rcButton[5] = LayoutRect{0, 0, 10, 10};
    EXPECT_EQ(0, Hit(false, 5, 5));
    m_bDisabled[3] = m_bDisabled[5] = 0;
    EXPECT_EQ(3, Hit(false, 5, 5));
    EXPECT_EQ(3, Hit(true, 5, 5));
    m_rcButton[3] = LayoutRect{0, 0, 0, 0};
    EXPECT_EQ(0, Hit(false, 5, 5));

    // 8 and 10 are only tested once installed, 1 only before.
    m_rcButton[10] = LayoutRect{0, 0, 10, 10};
    EXPECT_EQ(0, Hit(false, 5, 5));
    EXPECT_EQ(10, Hit(true, 5, 5));
    m_rcButton[1] = LayoutRect{0, 0, 10, 10};
    m_rcButton[10] = LayoutRect{0, 0, 0, 0};
    EXPECT_EQ(0, Hit(true, 5, 5));
    // Button 9 is tested last of all.
    m_rcButton[9] = m_rcButton[12];
    EXPECT_EQ(9, Hit(true, 300, 400));
}

TEST(ImageSlots, LoadOrderNamesAndSizes)
{
    struct Expected {
        int order;
        ImageKind kind;
        int index, picture;
        const char* name;
        int32_t width, height;
    };
    const Expected expected[] = {
        {0, kImageBackground, 0, 0, "8bg1.bmp", 640, 452},
        {1, kImageBigFlame, 0, 0, "fire01.bmp", 50, 136},
        {10, kImageBigFlame, 9, 0, "fire10.bmp", 50, 136},
        {30, kImageBigFlame, 29, 0, "fire30.bmp", 50, 136},
        {31, kImageSmallFlame, 0, 0, "fire2_01.bmp", 25, 50},
        {60, kImageSmallFlame, 29, 0, "fire2_30.bmp", 25, 50},
        {61, kImageButton, 1, kPictureUp, "8b1u.bmp", 124, 56},
        {62, kImageButton, 1, kPictureFocus, "8b1f.bmp", 124, 56},
        {63, kImageButton, 1, kPictureDown, "8b1d.bmp", 124, 56},
        {64, kImageButton, 2, kPictureUp, "8bdldx7u.bmp", 124, 56},
        {67, kImageButton, 4, kPictureUp, "8b4u.bmp", 124, 56},
        {70, kImageButton, 6, kPictureUp, "8b6u.bmp", 320, 130},
        {75, kImageButton, 7, kPictureDown, "8b7d.bmp", 114, 68},
        {76, kImageButton, 8, kPictureUp, "8b8u.bmp", 124, 56},
        {80, kImageButton, 9, kPictureFocus, "8bexitf.bmp", 124, 56},
        {84, kImageButton, 10, kPictureDown, "8b10d.bmp", 124, 56},
        {86, kImageButton, 11, kPictureFocus, "8bvexaf.bmp", 114, 87},
        {90, kImageButton, 12, kPictureDown, "8orlod.bmp", 115, 94},
    };
    for (const Expected& e : expected) {
        const ImageSlot slot = LauncherImageSlot(e.order);
        SCOPED_TRACE(e.order);
        EXPECT_EQ(e.kind, slot.kind);
        EXPECT_EQ(e.index, slot.index);
        EXPECT_EQ(e.picture, slot.picture);
        EXPECT_STREQ(e.name, slot.name);
        EXPECT_EQ(e.width, slot.width);
        EXPECT_EQ(e.height, slot.height);
    }
}

TEST(ImageSlots, EveryShownButtonHasItsThreePicturesInTurn)
{
    std::set<std::string> names;
    std::vector<int> buttonOrder;
    for (int order = 0; order < kImageCount; ++order) {
        const ImageSlot slot = LauncherImageSlot(order);
        EXPECT_TRUE(names.insert(slot.name).second) << "repeated " << slot.name;
        if (slot.kind != kImageButton)
            continue;
        const char* pszStem = kPictureStems.buttons[slot.index];
        const LayoutRect rc = ButtonRect(slot.index);
        ASSERT_NE(nullptr, pszStem);
        EXPECT_EQ(std::string(pszStem) + "ufd"[slot.picture] + ".bmp", slot.name);
        EXPECT_EQ(rc.right - rc.left, slot.width);
        EXPECT_EQ(rc.bottom - rc.top, slot.height);
        if (slot.picture == kPictureUp)
            buttonOrder.push_back(slot.index);
        else
            EXPECT_EQ(buttonOrder.back(), slot.index);
    }
    EXPECT_EQ((std::vector<int>{1, 2, 4, 6, 7, 8, 9, 10, 11, 12}), buttonOrder);
    EXPECT_EQ(91u, names.size());
    EXPECT_STREQ("", LauncherImageSlot(kImageCount).name);
    EXPECT_STREQ("", LauncherImageSlot(-1).name);
}

TEST(ImageSlots, EachPictureIsDrawnAtItsElementsPlaceInItsSize)
{
    const struct {
        int order;
        int32_t x, y;
    } expected[] = {{0, 0, 0}, {10, 339, 62}, {45, 115, 159}, {63, 20, 237}, {71, 21, 17}, {76, 20, 237},
                    {79, 500, 306}, {90, 263, 347}};
    for (const auto& e : expected) {
        const LayoutRect rc = ImageSlotRect(LauncherImageSlot(e.order));
        EXPECT_EQ(e.x, rc.left) << e.order;
        EXPECT_EQ(e.y, rc.top) << e.order;
    }
    for (int order = 0; order < kImageCount; ++order) {
        const ImageSlot slot = LauncherImageSlot(order);
        const LayoutRect rc = ImageSlotRect(slot);
        EXPECT_EQ(slot.width, rc.right - rc.left) << slot.name;
        EXPECT_EQ(slot.height, rc.bottom - rc.top) << slot.name;
    }
}

// A disc of its own, as tools/identity.py writes its layout for the disc
// tools: an 800 x 600 background, five buttons (play on install's place),
// one flame of 16 frames, the rest none.
TEST(AuthorLayout, OnlyItsOwnElementsAtTheirPlaces)
{
    char szPath[] = "/tmp/layout-XXXXXX";
    const int fd = mkstemp(szPath);
    ASSERT_GE(fd, 0);
    const std::string text = "# made by tools/identity.py\nbackground 800 600\nbutton 1 560 420 180 60\n"
                             "button 7 300 430 200 120\nbutton 8 560 420 180 60\nbutton 9 60 500 160 60\n"
                             "button 10 560 500 180 60\nflame 0 640 120 70 180 16\n";
    ASSERT_EQ(ssize_t(text.size()), write(fd, text.data(), text.size()));
    close(fd);
    LauncherLayout layout;
    std::string error;
    ASSERT_TRUE(ReadLayoutFile(szPath, layout, error)) << error;
    unlink(szPath);

    EXPECT_TRUE(SameRect(CenteredWindowRect(1024, 768, layout), 110, 82, 914, 686));
    EXPECT_EQ(1 + 16 + 5 * 3, ImageCount(layout));
    std::vector<std::string> names;
    for (int order = 0; order <= ImageCount(layout); ++order)
        names.push_back(LauncherImageSlot(order, layout).name);
    EXPECT_EQ("8bg1.bmp", names[0]);
    EXPECT_EQ("fire16.bmp", names[16]);
    EXPECT_EQ("8b1u.bmp", names[17]);
    EXPECT_EQ("8b7d.bmp", names[22]);
    EXPECT_EQ("8b10d.bmp", names[31]);
    EXPECT_EQ("", names[32]);
    const ImageSlot frame = LauncherImageSlot(5, layout);
    EXPECT_EQ(70, frame.width);
    EXPECT_TRUE(SameRect(ImageSlotRect(frame, layout), 640, 120, 710, 300));

    // The new places answer; the demo's old ones, and none's, do not.
    const int32_t enabled[kButtonCount + 1] = {};
    for (bool installed : {false, true}) {
        EXPECT_EQ(installed ? 8 : 1, HitTestButtons(layout.buttons, enabled, installed, 650, 450));
        EXPECT_EQ(7, HitTestButtons(layout.buttons, enabled, installed, 400, 490));
        for (auto pt : {std::make_pair(80, 260), {560, 265}, {180, 80}, {200, 390}, {560, 330}})
            EXPECT_EQ(0, HitTestButtons(layout.buttons, enabled, installed, pt.first, pt.second));
    }
}

TEST(AuthorLayout, AFileIdentityPyDidNotWriteIsRefused)
{
    for (const char* pszText : {"button 1 20 20 10 10\n", "background 800 600\nbutton 3 20 20 10 10\n",
                                "background 800 600\nbutton 9 795 20 10 10\n",
                                "background 800 600\nflame 1 20 20 10 10 20\n",
                                "background 800 600\nbutton 9 20 20 10 10 x\n", "# nothing\n"}) {
        char szPath[] = "/tmp/layout-XXXXXX";
        const int fd = mkstemp(szPath);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ssize_t(std::strlen(pszText)), write(fd, pszText, std::strlen(pszText)));
        close(fd);
        LauncherLayout layout;
        std::string error;
        EXPECT_FALSE(ReadLayoutFile(szPath, layout, error)) << pszText;
        EXPECT_NE(std::string::npos, error.find(szPath)) << error;
        unlink(szPath);
    }
}
