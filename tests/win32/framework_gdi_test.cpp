// The GDI wrappers against real GDI objects: palettes and their lifetime,
// window device contexts, palette selections that put the old one back.
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A palette of n entries, each of its own colour.
std::vector<BYTE> MakeLogPalette(int nEntries, BYTE bSeed)
{
    std::vector<BYTE> block(sizeof(LOGPALETTE) + nEntries * sizeof(PALETTEENTRY));
    auto* pLog = reinterpret_cast<LOGPALETTE*>(block.data());
    pLog->palVersion = 0x300;
    pLog->palNumEntries = static_cast<WORD>(nEntries);
    for (int i = 0; i < nEntries; ++i) {
        pLog->palPalEntry[i].peRed = static_cast<BYTE>(bSeed + i * 16);
        pLog->palPalEntry[i].peGreen = static_cast<BYTE>(255 - i * 8);
        pLog->palPalEntry[i].peBlue = static_cast<BYTE>(i * 3 + bSeed);
        pLog->palPalEntry[i].peFlags = 0;
    }
    return block;
}

const LOGPALETTE* AsLog(const std::vector<BYTE>& block)
{
    return reinterpret_cast<const LOGPALETTE*>(block.data());
}

TEST(framework_gdi, PaletteHoldsItsEntriesAndDeletesItsObject)
{
    const std::vector<BYTE> first = MakeLogPalette(16, 5);
    const std::vector<BYTE> second = MakeLogPalette(4, 9);
    HPALETTE hFirst, hSecond;
    {
        CPalette palette;
        EXPECT_FALSE(palette.Attach(nullptr));
        EXPECT_EQ(nullptr, static_cast<HPALETTE>(palette));

        ASSERT_TRUE(palette.CreatePalette(AsLog(first)));
        hFirst = palette;
        EXPECT_EQ(static_cast<DWORD>(OBJ_PAL), GetObjectType(hFirst));
        PALETTEENTRY entries[16] = {};
        ASSERT_EQ(16u, GetPaletteEntries(palette, 0, 16, entries));
        for (int i = 0; i < 16; ++i) {
            SCOPED_TRACE(i);
            const PALETTEENTRY& expected = AsLog(first)->palPalEntry[i];
            EXPECT_EQ(expected.peRed, entries[i].peRed);
            EXPECT_EQ(expected.peGreen, entries[i].peGreen);
            EXPECT_EQ(expected.peBlue, entries[i].peBlue);
        }

        // A failed attach keeps the palette; a new one replaces and deletes it.
        EXPECT_FALSE(palette.Attach(nullptr));
        EXPECT_EQ(hFirst, static_cast<HPALETTE>(palette));
        EXPECT_EQ(static_cast<DWORD>(OBJ_PAL), GetObjectType(hFirst));
        hSecond = ::CreatePalette(AsLog(second));
        ASSERT_TRUE(palette.Attach(hSecond));
        EXPECT_EQ(hSecond, palette.m_hObject);
        EXPECT_EQ(0u, GetObjectType(hFirst));
        EXPECT_EQ(4u, GetPaletteEntries(palette, 0, 0, nullptr));
    }
    EXPECT_EQ(0u, GetObjectType(hSecond));
}

TEST(framework_gdi, ClientDCIsReleasedWithTheObjectAndRefusedForAWindowThatIsGone)
{
    auto* pFrame = new CFrameWnd;
    const RECT rect = {20, 20, 120, 100};
    ASSERT_TRUE(pFrame->Create(nullptr, "framework gdi test", WS_POPUP, rect));
    HWND hWnd = pFrame->m_hWnd;

    HDC hdc;
    {
        CClientDC dc(pFrame);
        hdc = dc.GetSafeHdc();
        ASSERT_NE(nullptr, hdc);
        EXPECT_EQ(static_cast<DWORD>(OBJ_DC), GetObjectType(hdc));
        EXPECT_EQ(hWnd, WindowFromDC(hdc));
    }
    // Already given back: the system has nothing left to release.
    EXPECT_EQ(0, ReleaseDC(hWnd, hdc));

    pFrame->DestroyWindow();
    // Wine, like Windows, gives no device context for a window that is gone.
    CWnd stale;
    stale.m_hWnd = hWnd;
    ASSERT_EQ(nullptr, GetDC(hWnd));
    BOOL bRaised = FALSE;
    try {
        CClientDC dc(&stale);
    } catch (CResourceException* e) {
        bRaised = TRUE;
        e->Delete();
    }
    EXPECT_TRUE(bRaised);
}

TEST(framework_gdi, PaletteSelectionsPutThePreviousPaletteBack)
{
    CPalette first, second;
    ASSERT_TRUE(first.CreatePalette(AsLog(MakeLogPalette(16, 1))));
    ASSERT_TRUE(second.CreatePalette(AsLog(MakeLogPalette(16, 2))));
    HDC hdc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, hdc);
    const HGDIOBJ hDefault = GetStockObject(DEFAULT_PALETTE);
    ASSERT_EQ(hDefault, GetCurrentObject(hdc, OBJ_PAL));
    {
        CPaletteSelect outer(hdc, first, FALSE);
        EXPECT_EQ(hDefault, outer.Previous());
        EXPECT_EQ(static_cast<HGDIOBJ>(first), GetCurrentObject(hdc, OBJ_PAL));
        {
            CPaletteSelect inner(hdc, second, TRUE);
            EXPECT_EQ(static_cast<HPALETTE>(first), inner.Previous());
            EXPECT_EQ(static_cast<HGDIOBJ>(second), GetCurrentObject(hdc, OBJ_PAL));
        }
        EXPECT_EQ(static_cast<HGDIOBJ>(first), GetCurrentObject(hdc, OBJ_PAL));
    }
    EXPECT_EQ(hDefault, GetCurrentObject(hdc, OBJ_PAL));
    DeleteDC(hdc);
}

}  // namespace
