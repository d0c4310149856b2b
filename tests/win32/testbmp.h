// Bitmap files for the launcher's tests, written byte by byte so that every
// header layout and every damaged file can be made, and the disc folder they
// go into.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One colour-table entry as the file stores it (blue, green, red, reserved in
// a 4-byte table; the reserved byte is dropped in a 3-byte one).
struct CTestColor {
    uint8_t red, green, blue, reserved;
};

inline CTestColor TestColor(COLORREF colour)
{
    return CTestColor{GetRValue(colour), GetGValue(colour), GetBValue(colour), 0};
}

// What to write. The defaults make a 1 x 1 bottom-up 8-bit file with a 40-byte
// header and no colour table.
struct CTestBitmap {
    int32_t nWidth = 1;
    int32_t nHeight = 1;    // negative: rows stored top row first
    // 40, 52, 56, 108, 124: the Windows header (fields behind the first 40
    // bytes zero, but for the masks); any other value: the 12-byte core fields
    // behind that size, the colour table at offset 12.
    uint32_t cbHeader = 40;
    uint16_t nBitCount = 8;
    uint32_t nCompression = BI_RGB;  // BI_BITFIELDS: masks behind a 40-byte header
    uint32_t nClrUsed = 0;
    uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    std::vector<CTestColor> colors;  // the colour table, in file order
    // The stored value at (x, y), y counted from the top of the picture: a
    // table index up to 8 bits, else the pixel itself (0xRRGGBB for 24 and 32
    // bits). Null: 0 everywhere.
    std::function<uint32_t(int x, int y)> pixel;
    size_t cbCutOff = 0;  // bytes left off the end of the file
};

// 256 entries: entry 0 the colour, the others a ramp that depends on it, so
// that every file's palette differs from every other's.
std::vector<CTestColor> SolidColorTable(COLORREF colour);
// An 8-bit picture of one colour, index 0 everywhere.
CTestBitmap SolidBitmap(int32_t nWidth, int32_t nHeight, COLORREF colour);

std::vector<uint8_t> BitmapFileBytes(const CTestBitmap& bitmap);

// A DibHandle as the launcher makes one from a file: a movable block of the
// file's length holding the bytes from offset 14 on, the last 14 bytes zero.
HGLOBAL DibBlockFromFile(const std::vector<uint8_t>& file);

// A folder of the test's own in the temporary folder, with a "bitmaps" folder
// in it, and the process's current directory for as long as it lives. Its
// destructor changes back and removes everything in it.
class CDiscFolder {
public:
    CDiscFolder();
    CDiscFolder(const CDiscFolder&) = delete;
    CDiscFolder& operator=(const CDiscFolder&) = delete;
    ~CDiscFolder();

    const std::string& Path() const { return m_path; }  // no closing backslash
    std::string File(const std::string& relative) const { return m_path + "\\" + relative; }

    void WriteBytes(const std::string& relative, const std::vector<uint8_t>& bytes) const;
    void WriteBitmap(const std::string& relative, const CTestBitmap& bitmap) const
    {
        WriteBytes(relative, BitmapFileBytes(bitmap));
    }
    void Remove(const std::string& relative) const;
    // A folder inside this one, made with all its parents.
    std::string MakeFolder(const std::string& relative) const;

private:
    std::string m_path;
    std::string m_previousDirectory;
};

// Removes a folder and everything below it.
void RemoveTree(const std::string& path);

// The launcher's image files in its load order, each with the size of its
// element and a colour that no other file has.
struct CDiscImage {
    std::string name;  // file name in the bitmaps folder
    int32_t nWidth, nHeight;
    COLORREF colour;
};
const std::vector<CDiscImage>& DiscImageSet();
const CDiscImage& DiscImage(const std::string& name);
// The up, focus or down picture of a button: "8b1u.bmp" and so on.
const CDiscImage& ButtonDiscImage(int nButton, int nPicture);
// Writes every file of the set into the folder's bitmaps folder.
void WriteDiscImageSet(const CDiscFolder& disc);
