#include "dib/dib.h"

#include <optional>

int DrawDib(HDC hDC, const RECT& rcDest, DibHandle hImage, const RECT& rcSource,
            CPalette* pPalette)
{
    if (hImage == nullptr)
        return 0;
    // The palette goes back into the device context after the block is
    // unlocked: the selection outlives the lock.
    std::optional<CPaletteSelect> selection;
    CDibLock dib(hImage);
    // The system would read past a block that is too short for its header.
    if (!dib.Fits())
        return 0;
    if (pPalette != nullptr)
        selection.emplace(hDC, pPalette->m_hObject, TRUE);
    SetStretchBltMode(hDC, COLORONCOLOR);

    const int32_t nHeight = DibPixelHeight(dib.Data(), dib.Size());
    // Rows count from the bottom of the image: a source rectangle whose bottom
    // is the image's height starts at row 0.
    return SetDIBitsToDevice(hDC, rcDest.left, rcDest.top, rcDest.right - rcDest.left,
                             rcDest.bottom - rcDest.top, rcSource.left,
                             nHeight - rcSource.bottom, 0, static_cast<uint16_t>(nHeight),
                             DibBitsPointer(dib.Data(), dib.Size()),
                             reinterpret_cast<const BITMAPINFO*>(dib.Data()), DIB_RGB_COLORS);
}
