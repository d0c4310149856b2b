// Makes the launcher's 91 pictures from a disc author's art.
//
//   bmpset ART OUT
//
// ART holds one PNG file per picture, named like the bitmap with ".png" for
// ".bmp" (8bg1.png, fire01.png ... fire2_30.png, 8b1u.png ...), in any
// colour type and bit depth. bmpset chooses one colour table for all of them
// together (the system's static colours at both ends), remaps every picture
// to it, writes the bitmaps into OUT, checks them as bmpcheck does, and
// prints how the table is used and how close each picture stays to its art.
//
// Nothing is written unless every picture can be used: each one that cannot
// gets one line saying why. Exit status: 0 when the set is written and in
// order, 1 when pictures are refused or the written set has findings, 2 when
// ART cannot be read or OUT cannot be written.
#include "tools/bmpset/artpng.h"
#include "tools/bmpset/remap.h"
#include "tools/bmpset/summary.h"
#include "tools/setcheck.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What the launcher would do without the slot's picture.
std::string MissingLine(const ImageSlot& slot, const std::map<std::string, fs::path>& files)
{
    const std::string name = ArtFileName(slot);
    if (!IsShownSlot(slot))
        return name + " is missing: the launcher never shows frames 17 to 30, but it loads them, so the set needs one";
    const bool bFlame = slot.kind == kImageBigFlame || slot.kind == kImageSmallFlame;
    const bool bPrevious = bFlame && files.count(ArtFileName(LauncherImageSlot(PreviousFrameOrder(slot)))) != 0;
    return name + " is missing: without its bitmap, " + WithoutPicture(slot, bPrevious);
}

// Every picture of the set, or the lines that say why some cannot be used.
bool ReadArt(const std::map<std::string, fs::path>& files, std::vector<ArtPicture>& pictures)
{
    bool bSound = true;
    for (int order = 0; order < kImageCount; ++order) {
        const ImageSlot slot = LauncherImageSlot(order);
        const auto found = files.find(ArtFileName(slot));
        std::string refusal;
        ArtPicture picture;
        if (found == files.end())
            refusal = MissingLine(slot, files);
        else if (ReadArtPicture(found->second, slot, picture, refusal))
            pictures.push_back(std::move(picture));
        if (!refusal.empty()) {
            std::printf("%s\n", refusal.c_str());
            bSound = false;
        }
    }
    return bSound;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ART OUT\nmakes the launcher's bitmaps in OUT from the PNG files in ART\n",
                     argv[0]);
        return 2;
    }
    std::map<std::string, fs::path> files;
    std::string error;
    if (!ListFilesByLowerName(argv[1], files, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 2;
    }
    std::vector<ArtPicture> pictures;
    if (!ReadArt(files, pictures)) {
        std::printf("nothing written: the launcher needs all %d pictures\n", kImageCount);
        return 1;
    }

    try {
        const RemappedSet set = RemapToOneTable(pictures);
        const fs::path out = argv[2];
        std::error_code code;
        fs::create_directories(out, code);
        if (code) {
            std::fprintf(stderr, "%s: cannot make %s: %s\n", argv[0], argv[2], code.message().c_str());
            return 2;
        }
        for (size_t i = 0; i < pictures.size(); ++i)
            WriteFileBytes((out / pictures[i].slot.name).string(), EncodeBmp8(set.images[i], set.table));

        std::map<std::string, fs::path> written;
        if (!ListFilesByLowerName(out, written, error)) {
            std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
            return 2;
        }
        const int status = CheckBitmapSet(written, argv[2]);
        PrintSummary(pictures, set);
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 2;
    }
}
