// Lettering through FreeType: a line of text as a coverage mask.
#pragma once

#include "tools/art/raster.h"

#include <string>

struct FT_LibraryRec_;
struct FT_FaceRec_;

class CTypeface {
public:
    // Throws std::runtime_error when the font cannot be opened.
    explicit CTypeface(const std::string& path);
    ~CTypeface();
    CTypeface(const CTypeface&) = delete;
    CTypeface& operator=(const CTypeface&) = delete;

    // One line at the given pixel size, letters tracking pixels further apart
    // than the font sets them, cropped to the ink: labels are centred on what
    // is seen, not on the font's box.
    CMask Render(const std::string& text, int nPixelSize, int nTracking = 0) const;
    // The largest size up to nMaxSize at which the line's ink is no wider than
    // nMaxWidth, rendered.
    CMask RenderToFit(const std::string& text, int nMaxSize, int nMaxWidth, int nTracking = 0) const;

private:
    FT_LibraryRec_* m_pLibrary = nullptr;
    FT_FaceRec_* m_pFace = nullptr;
};
