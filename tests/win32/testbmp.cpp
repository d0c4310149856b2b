#include "tests/win32/testbmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

void Put16(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    Put16(bytes, offset, value & 0xFFFF);
    Put16(bytes, offset + 2, value >> 16);
}

bool IsInfoLayout(uint32_t cbHeader)
{
    return cbHeader == 40 || cbHeader == 52 || cbHeader == 56 || cbHeader == 108 ||
           cbHeader == 124;
}

void Fail(const std::string& what)
{
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace

std::vector<CTestColor> SolidColorTable(COLORREF colour)
{
    std::vector<CTestColor> table(256);
    table[0] = TestColor(colour);
    for (int i = 1; i < 256; ++i)
        table[i] = CTestColor{uint8_t(i), uint8_t(GetRValue(colour) ^ i), uint8_t(255 - i), 0};
    return table;
}

CTestBitmap SolidBitmap(int32_t nWidth, int32_t nHeight, COLORREF colour)
{
    CTestBitmap bitmap;
    bitmap.nWidth = nWidth;
    bitmap.nHeight = nHeight;
    bitmap.colors = SolidColorTable(colour);
    return bitmap;
}

std::vector<uint8_t> BitmapFileBytes(const CTestBitmap& bitmap)
{
    const bool bInfo = IsInfoLayout(bitmap.cbHeader);
    const size_t cbEntry = bInfo ? 4 : 3;
    const size_t cbMasks = (bitmap.cbHeader == 40 && bitmap.nCompression == BI_BITFIELDS) ? 12 : 0;
    const size_t offTable = bInfo ? bitmap.cbHeader + cbMasks : 12;
    const size_t offBits = (bInfo ? offTable : bitmap.cbHeader) + bitmap.colors.size() * cbEntry;
    const size_t nWidth = size_t(bitmap.nWidth < 0 ? 0 : bitmap.nWidth);
    const size_t nRows = size_t(bitmap.nHeight < 0 ? -int64_t(bitmap.nHeight) : bitmap.nHeight);
    const size_t cbStride = ((nWidth * bitmap.nBitCount + 31) / 32) * 4;

    std::vector<uint8_t> dib(std::max(offBits, offTable + bitmap.colors.size() * cbEntry) +
                             cbStride * nRows);
    Put32(dib, 0, bitmap.cbHeader);
    if (bInfo) {
        Put32(dib, 4, uint32_t(bitmap.nWidth));
        Put32(dib, 8, uint32_t(bitmap.nHeight));
        Put16(dib, 12, 1);
        Put16(dib, 14, bitmap.nBitCount);
        Put32(dib, 16, bitmap.nCompression);
        Put32(dib, 20, uint32_t(cbStride * nRows));
        Put32(dib, 24, 2835);
        Put32(dib, 28, 2835);
        Put32(dib, 32, bitmap.nClrUsed);
        // The masks follow a 40-byte header and are part of every larger one.
        if (bitmap.nCompression == BI_BITFIELDS) {
            for (int i = 0; i < 3; ++i)
                Put32(dib, 40 + 4 * i, bitmap.masks[i]);
        }
    } else {
        Put16(dib, 4, uint32_t(bitmap.nWidth));
        Put16(dib, 6, uint32_t(bitmap.nHeight));
        Put16(dib, 8, 1);
        Put16(dib, 10, bitmap.nBitCount);
    }
    for (size_t i = 0; i < bitmap.colors.size(); ++i) {
        const CTestColor& c = bitmap.colors[i];
        uint8_t* p = &dib[offTable + i * cbEntry];
        p[0] = c.blue;
        p[1] = c.green;
        p[2] = c.red;
        if (cbEntry == 4)
            p[3] = c.reserved;
    }

    for (size_t nRow = 0; nRow < nRows; ++nRow) {
        // Bottom-up files store the picture's last row first.
        const int y = int(bitmap.nHeight > 0 ? nRows - 1 - nRow : nRow);
        uint8_t* pRow = &dib[offBits + nRow * cbStride];
        for (size_t x = 0; x < nWidth; ++x) {
            const uint32_t value = bitmap.pixel ? bitmap.pixel(int(x), y) : 0;
            switch (bitmap.nBitCount) {
            case 1: pRow[x / 8] |= uint8_t((value & 1) << (7 - x % 8)); break;
            case 4: pRow[x / 2] |= uint8_t((value & 15) << (x % 2 ? 0 : 4)); break;
            case 8: pRow[x] = uint8_t(value); break;
            case 16:
                pRow[2 * x] = uint8_t(value);
                pRow[2 * x + 1] = uint8_t(value >> 8);
                break;
            case 24:
            case 32: {
                uint8_t* p = pRow + x * (bitmap.nBitCount / 8);
                p[0] = uint8_t(value);
                p[1] = uint8_t(value >> 8);
                p[2] = uint8_t(value >> 16);
                break;
            }
            default: break;
            }
        }
    }

    std::vector<uint8_t> file(14 + dib.size());
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, uint32_t(file.size()));
    Put32(file, 10, uint32_t(14 + offBits));
    std::memcpy(&file[14], dib.data(), dib.size());
    file.resize(file.size() - std::min(bitmap.cbCutOff, file.size()));
    return file;
}

HGLOBAL DibBlockFromFile(const std::vector<uint8_t>& file)
{
    HGLOBAL hDib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, file.size());
    if (hDib == nullptr)
        Fail("GlobalAlloc");
    if (file.size() > 14) {
        auto* p = static_cast<uint8_t*>(GlobalLock(hDib));
        std::memcpy(p, &file[14], file.size() - 14);
        GlobalUnlock(hDib);
    }
    return hDib;
}

// ---------------------------------------------------------------------------

CDiscFolder::CDiscFolder()
{
    static int s_nFolder = 0;
    char szTemp[MAX_PATH];
    if (!GetTempPathA(sizeof szTemp, szTemp))
        Fail("GetTempPath");
    char szName[64];
    std::snprintf(szName, sizeof szName, "zeph-disc-%lu-%d", GetCurrentProcessId(), ++s_nFolder);
    m_path = std::string(szTemp) + szName;
    RemoveTree(m_path);
    if (!CreateDirectoryA(m_path.c_str(), nullptr))
        Fail("CreateDirectory " + m_path);
    MakeFolder("bitmaps");

    char szCurrent[MAX_PATH];
    GetCurrentDirectoryA(sizeof szCurrent, szCurrent);
    m_previousDirectory = szCurrent;
    if (!SetCurrentDirectoryA(m_path.c_str()))
        Fail("SetCurrentDirectory " + m_path);
}

CDiscFolder::~CDiscFolder()
{
    SetCurrentDirectoryA(m_previousDirectory.c_str());
    RemoveTree(m_path);
    // A program started from the folder that still runs keeps its file.
    if (GetFileAttributesA(m_path.c_str()) != INVALID_FILE_ATTRIBUTES)
        ADD_FAILURE() << "the test's folder " << m_path << " could not be removed";
}

void CDiscFolder::WriteBytes(const std::string& relative, const std::vector<uint8_t>& bytes) const
{
    const std::string path = File(relative);
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        Fail("CreateFile " + path);
    DWORD cbWritten = 0;
    const BOOL bOk = bytes.empty() ||
                     WriteFile(hFile, bytes.data(), DWORD(bytes.size()), &cbWritten, nullptr);
    CloseHandle(hFile);
    if (!bOk || (!bytes.empty() && cbWritten != bytes.size()))
        Fail("WriteFile " + path);
}

void CDiscFolder::Remove(const std::string& relative) const
{
    if (!DeleteFileA(File(relative).c_str()))
        Fail("DeleteFile " + relative);
}

std::string CDiscFolder::MakeFolder(const std::string& relative) const
{
    std::string path = m_path;
    size_t nStart = 0;
    while (nStart <= relative.size()) {
        size_t nEnd = relative.find('\\', nStart);
        if (nEnd == std::string::npos)
            nEnd = relative.size();
        path += "\\" + relative.substr(nStart, nEnd - nStart);
        if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            Fail("CreateDirectory " + path);
        nStart = nEnd + 1;
    }
    return path;
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE hFind = FindFirstFileA((path + "\\*").c_str(), &found);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(hFind, &found));
        FindClose(hFind);
    }
    RemoveDirectoryA(path.c_str());
}

// ---------------------------------------------------------------------------

namespace {

struct CButtonFiles {
    int nButton;
    const char* stem;
    int32_t nWidth, nHeight;
};

// The buttons with pictures, in the order the launcher loads them.
const CButtonFiles kButtonFiles[] = {
    {1, "8b1", 124, 56},     {2, "8bdldx7", 124, 56}, {4, "8b4", 124, 56},
    {6, "8b6", 320, 130},    {7, "8b7", 114, 68},     {8, "8b8", 124, 56},
    {9, "8bexit", 124, 56},  {10, "8b10", 124, 56},   {11, "8bvexa", 114, 87},
    {12, "8orlo", 115, 94},
};
const char kPictureSuffix[] = {'u', 'f', 'd'};

std::vector<CDiscImage> MakeDiscImageSet()
{
    std::vector<CDiscImage> set;
    auto add = [&set](const std::string& name, int32_t nWidth, int32_t nHeight) {
        // The red channel alone tells the files apart.
        const int n = int(set.size());
        set.push_back(CDiscImage{name, nWidth, nHeight,
                                 RGB(8 + 2 * n, 200 - n, (n * 37) & 0xFF)});
    };
    add("8bg1.bmp", 640, 452);
    char szName[32];
    for (int n = 1; n <= 30; ++n) {
        std::snprintf(szName, sizeof szName, "fire%02d.bmp", n);
        add(szName, 50, 136);
    }
    for (int n = 1; n <= 30; ++n) {
        std::snprintf(szName, sizeof szName, "fire2_%02d.bmp", n);
        add(szName, 25, 50);
    }
    for (const CButtonFiles& button : kButtonFiles) {
        for (char suffix : kPictureSuffix)
            add(std::string(button.stem) + suffix + ".bmp", button.nWidth, button.nHeight);
    }
    return set;
}

}  // namespace

const std::vector<CDiscImage>& DiscImageSet()
{
    static const std::vector<CDiscImage> s_set = MakeDiscImageSet();
    return s_set;
}

const CDiscImage& DiscImage(const std::string& name)
{
    for (const CDiscImage& image : DiscImageSet()) {
        if (image.name == name)
            return image;
    }
    throw std::runtime_error("no disc image " + name);
}

const CDiscImage& ButtonDiscImage(int nButton, int nPicture)
{
    for (const CButtonFiles& button : kButtonFiles) {
        if (button.nButton == nButton)
            return DiscImage(std::string(button.stem) + kPictureSuffix[nPicture] + ".bmp");
    }
    throw std::runtime_error("button " + std::to_string(nButton) + " has no pictures");
}

void WriteDiscImageSet(const CDiscFolder& disc)
{
    for (const CDiscImage& image : DiscImageSet())
        disc.WriteBitmap("bitmaps\\" + image.name,
                         SolidBitmap(image.nWidth, image.nHeight, image.colour));
}
