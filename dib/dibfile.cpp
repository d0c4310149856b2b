#include "dib/dib.h"

#include <climits>

namespace {
const size_t kFileHeaderSize = 14;
}

DibHandle ReadBitmapStream(CFile& file)
{
    const ULONGLONG cbFile = file.GetLength();
    BYTE header[kFileHeaderSize];
    if (file.Read(header, kFileHeaderSize) < kFileHeaderSize)
        return nullptr;
    if (header[0] != 'B' || header[1] != 'M')
        return nullptr;
    // A file that changed length since it was measured, or too large for one
    // read, cannot be copied whole.
    if (cbFile < kFileHeaderSize || cbFile > UINT_MAX)
        return nullptr;

    DibHandle hDib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(cbFile));
    if (hDib == nullptr)
        return nullptr;
    void* pDib = GlobalLock(hDib);
    if (pDib == nullptr) {
        GlobalFree(hDib);
        return nullptr;
    }
    const UINT cbWanted = static_cast<UINT>(cbFile - kFileHeaderSize);
    UINT cbRead;
    try {
        cbRead = file.Read(pDib, cbWanted);
    } catch (CFileException*) {
        GlobalUnlock(hDib);
        GlobalFree(hDib);
        throw;
    }
    GlobalUnlock(hDib);
    if (cbRead != cbWanted) {
        GlobalFree(hDib);
        return nullptr;
    }
    return hDib;
}

bool BuildDibPalette(DibHandle hImage, CPalette& palette)
{
    if (hImage == nullptr)
        return false;
    CDibLock dib(hImage);
    if (dib.Data() == nullptr)
        return false;
    const uint16_t nEntries = DibPaletteEntryCount(dib.Data(), dib.Size());
    if (nEntries == 0)
        return false;

    HGLOBAL hLogPalette = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                      sizeof(LOGPALETTE) + nEntries * sizeof(PALETTEENTRY));
    auto* pLogPalette = static_cast<LOGPALETTE*>(hLogPalette ? GlobalLock(hLogPalette) : nullptr);
    if (pLogPalette == nullptr) {
        if (hLogPalette != nullptr)
            GlobalFree(hLogPalette);
        return false;
    }
    pLogPalette->palVersion = 0x300;
    pLogPalette->palNumEntries = nEntries;
    for (unsigned i = 0; i < nEntries; ++i) {
        const DibColor color = DibPaletteEntry(dib.Data(), dib.Size(), i);
        pLogPalette->palPalEntry[i] = PALETTEENTRY{color.red, color.green, color.blue, 0};
    }
    const bool bAttached = palette.Attach(CreatePalette(pLogPalette)) != FALSE;
    GlobalUnlock(hLogPalette);
    GlobalFree(hLogPalette);
    return bAttached;
}
