// Images in memory: a packed device-independent bitmap in a movable global
// memory block, read from a bitmap file and drawn onto a device context.
#pragma once

#include "dib/dib_format.h"
#include "framework/afxwin.h"

// A null handle stands for a missing image and draws nothing.
typedef HGLOBAL DibHandle;

// One access to an image's bytes: the block is locked for exactly the life of
// this object.
class CDibLock {
public:
    explicit CDibLock(DibHandle hDib)
        : m_hDib(hDib), m_pData(static_cast<const uint8_t*>(GlobalLock(hDib))),
          m_cbData(m_pData ? GlobalSize(hDib) : 0)
    {
    }
    CDibLock(const CDibLock&) = delete;
    CDibLock& operator=(const CDibLock&) = delete;
    ~CDibLock()
    {
        if (m_pData != nullptr)
            GlobalUnlock(m_hDib);
    }

    const uint8_t* Data() const { return m_pData; }
    size_t Size() const { return m_cbData; }
    // Whether everything that the launcher and the system read of this image
    // lies inside its block.
    bool Fits() const { return m_pData != nullptr && DibFitsBlock(m_pData, m_cbData); }

private:
    DibHandle m_hDib;
    const uint8_t* m_pData;
    size_t m_cbData;
};

// Copies the packed DIB that follows a "BM" file header into a new block of the
// file's length, whose last 14 bytes stay zero. Null when the file is too short,
// is not a bitmap file, or memory runs out. Raises CFileException on a read
// error, after freeing any block it had made.
DibHandle ReadBitmapStream(CFile& file);

// Creates a GDI palette from the image's colour table and attaches it to
// palette, which holds none yet. False for a null image, no colour table, or
// when the palette cannot be made.
bool BuildDibPalette(DibHandle hImage, CPalette& palette);

// Copies the destination's size of the image 1:1, from the source rectangle's
// left and bottom edges, through the palette (selected as a background
// palette, not realised). Returns the scan lines drawn, 0 for a null image or
// an image that does not fit its block.
int DrawDib(HDC hDC, const RECT& rcDest, DibHandle hImage, const RECT& rcSource,
            CPalette* pPalette);
