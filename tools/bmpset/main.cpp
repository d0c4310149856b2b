// Makes the launcher's pictures from a disc author's art.
//
//   bmpset [--fill-frames] [--layout FILE] ART OUT
//
// The pictures are those of the demo's layout, or of the disc's from FILE
// (tools/layoutfile.h): its background, its flames' frames and its buttons'.
// ART holds one PNG file per picture, named like the bitmap with ".png" for
// ".bmp" (8bg1.png, fire01.png ... fire2_30.png, 8b1u.png ...), in any
// colour type and bit depth. bmpset chooses one colour table for all of them
// together (the system's static colours at both ends), remaps every picture
// to it, writes the bitmaps into OUT, checks them as bmpcheck does, and
// prints how the table is used and how close each picture stays to its art.
//
// Nothing is written unless every picture can be used: each one that cannot
// gets one line saying why, and PNG files that are none of the launcher's
// pictures are named with the name they are likely meant to have; those of
// pictures the layout leaves out are named in one line. --fill-frames takes each
// flame's frames 17 to 30, which the launcher loads but never shows, from
// frames 1 to 14 where ART has none of its own. Exit status: 0 when the set
// is written and in order, 1 when pictures are refused or the written set has
// findings, 2 when ART cannot be read or OUT cannot be written.
#include "tools/bmpset/artpng.h"
#include "tools/bmpset/remap.h"
#include "tools/bmpset/summary.h"
#include "tools/layoutfile.h"
#include "tools/setcheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: %s [--fill-frames] [--layout FILE] ART OUT\n"
    "makes the launcher's bitmaps in OUT from the PNG files in ART, one colour table for all\n"
    "  --fill-frames  each flame's frames 17 to 30, which are loaded but never shown, from\n"
    "                 frames 1 to 14 where ART has none of its own\n"
    "  --layout FILE  the disc's layout, as tools/identity.py writes it; else the demo's\n";

// The guide picture that `make art-template` puts beside the art.
const char kGuideName[] = "guide.png";

// What the launcher would do without the slot's picture.
std::string MissingLine(const ImageSlot& slot, const LauncherLayout& layout,
                        const std::map<std::string, fs::path>& files)
{
    const std::string name = ArtFileName(slot);
    if (!IsShownSlot(slot))
        return name + " is missing: the launcher never shows frames 17 to 30, but it loads them, so the set needs one";
    const bool bFlame = slot.kind == kImageBigFlame || slot.kind == kImageSmallFlame;
    const bool bPrevious =
        bFlame && files.count(ArtFileName(LauncherImageSlot(PreviousFrameOrder(slot, layout), layout))) != 0;
    return name + " is missing: without its bitmap, " + WithoutPicture(slot, layout, bPrevious);
}

// Frames 17 to 30 of a flame: their load orders are the frames 1 to 14
// orders plus 16.
bool IsUnshownFrame(const ImageSlot& slot)
{
    return (slot.kind == kImageBigFlame || slot.kind == kImageSmallFlame) && !IsShownSlot(slot);
}

// One line for a flame none of whose unshown frames is painted, where one
// line a frame would bury everything else.
bool AllUnshownMissing(int firstOrder, const LauncherLayout& layout, const std::map<std::string, fs::path>& files)
{
    for (int order = firstOrder; order < firstOrder + kFlameFrameCount - kShownFlameFrames; ++order)
        if (files.count(ArtFileName(LauncherImageSlot(order, layout))) != 0)
            return false;
    return true;
}

// Every picture of the set, or the lines that say why some cannot be used.
bool ReadArt(const std::map<std::string, fs::path>& files, const LauncherLayout& layout, bool bFill,
             std::vector<ArtPicture>& pictures)
{
    bool bSound = true;
    for (int order = 0; order < ImageCount(layout); ++order) {
        const ImageSlot slot = LauncherImageSlot(order, layout);
        auto found = files.find(ArtFileName(slot));
        const bool bFilled = found == files.end() && bFill && IsUnshownFrame(slot);
        if (bFilled)
            found = files.find(ArtFileName(LauncherImageSlot(order - kShownFlameFrames, layout)));
        std::string refusal;
        ArtPicture picture;
        if (found == files.end() && !bFill && IsUnshownFrame(slot) &&
            AllUnshownMissing(order - slot.index + kShownFlameFrames, layout, files)) {
            if (slot.index == kShownFlameFrames)
                refusal = ArtFileName(slot) + " to " +
                          ArtFileName(LauncherImageSlot(order + kFlameFrameCount - kShownFlameFrames - 1, layout)) +
                          " are missing: the launcher never shows frames 17 to 30, but it loads them, so the set needs them; "
                          "--fill-frames (make bitmaps FILL=1) takes them from frames 1 to 14";
        } else if (found == files.end()) {
            refusal = MissingLine(slot, layout, files);
        } else if (ReadArtPicture(found->second, slot, picture, refusal)) {
            pictures.push_back(std::move(picture));
        }
        if (found == files.end() || !refusal.empty())
            bSound = false;
        // A filled frame's source has had its own line.
        if (!refusal.empty() && !bFilled)
            std::printf("%s\n", refusal.c_str());
    }
    return bSound;
}

// Edits that turn one name into the other.
size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool IsPictureOf(const LauncherLayout& layout, const std::string& artName)
{
    for (int order = 0; order < ImageCount(layout); ++order)
        if (ArtFileName(LauncherImageSlot(order, layout)) == artName)
            return true;
    return false;
}

// Every picture a disc may have: every button, and 30 frames of each flame.
LauncherLayout EveryPicture(const LauncherLayout& layout)
{
    LauncherLayout every = layout;
    for (LauncherButton id : kLoadedButtons)
        if (IsEmptyRect(every.buttons[id]))
            every.buttons[id] = LayoutRect{0, 0, 1, 1};
    for (int32_t& files : every.flameFiles)
        files = kFlameFrameCount;
    return every;
}

// PNG files among the art that are none of the layout's pictures: most often
// a slip in a name, whose picture is then missing too; or the art of a
// picture that this disc leaves out, as the starter set holds every one.
void NoteStrayFiles(const std::map<std::string, fs::path>& files, const LauncherLayout& layout)
{
    const LauncherLayout every = EveryPicture(layout);
    std::vector<std::string> leftOut;
    for (const auto& file : files) {
        const std::string& name = file.first;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0 || name == kGuideName)
            continue;
        std::string nearest;
        size_t best = std::string::npos, bestPrefix = 0;
        bool bKnown = false;
        for (int order = 0; order < ImageCount(layout) && !bKnown; ++order) {
            const std::string candidate = ArtFileName(LauncherImageSlot(order, layout));
            bKnown = candidate == name;
            const size_t distance = EditDistance(name, candidate);
            const size_t prefix = size_t(std::mismatch(name.begin(), name.end(), candidate.begin(), candidate.end()).first -
                                         name.begin());
            if (distance < best || (distance == best && prefix > bestPrefix)) {
                best = distance;
                bestPrefix = prefix;
                nearest = candidate;
            }
        }
        if (bKnown)
            continue;
        if (IsPictureOf(every, name)) {
            leftOut.push_back(file.second.filename().string());
            continue;
        }
        std::string line = "note: " + file.second.filename().string() + " is not one of the launcher's pictures";
        if (best <= 3)
            line += " (the nearest name is " + nearest + ")";
        std::printf("%s; it is left out\n", line.c_str());
    }
    if (leftOut.empty())
        return;
    std::string names = leftOut.front();
    for (size_t i = 1; i < std::min<size_t>(leftOut.size(), 3); ++i)
        names += ", " + leftOut[i];
    if (leftOut.size() > 3)
        names += " and " + std::to_string(leftOut.size() - 3) + " more";
    std::printf("note: %s %s of pictures that this disc's layout does not have (a button or a flame set to "
                "none, or flame frames after 16): left out\n",
                names.c_str(), leftOut.size() == 1 ? "is the art" : "are the art");
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<const char*> args;
    bool bFill = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(kUsage, argv[0]);
            return 0;
        }
        if (std::strcmp(argv[i], "--fill-frames") == 0)
            bFill = true;
        else
            args.push_back(argv[i]);
    }
    LauncherLayout layout;
    if (!TakeToolArguments(args, 2, argv[0], kUsage, layout))
        return 2;
    std::string error;
    const char* const pszArt = args[0];
    const char* const pszOut = args[1];
    std::map<std::string, fs::path> files;
    if (!ListFilesByLowerName(pszArt, files, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 2;
    }
    NoteStrayFiles(files, layout);
    std::vector<ArtPicture> pictures;
    if (!ReadArt(files, layout, bFill, pictures)) {
        std::printf("nothing written: the launcher needs all %d pictures\n", ImageCount(layout));
        return 1;
    }

    try {
        const RemappedSet set = RemapToOneTable(pictures, layout);
        const fs::path out = pszOut;
        std::error_code code;
        fs::create_directories(out, code);
        if (code) {
            std::fprintf(stderr, "%s: cannot make %s: %s\n", argv[0], pszOut, code.message().c_str());
            return 2;
        }
        for (size_t i = 0; i < pictures.size(); ++i)
            WriteFileBytes((out / pictures[i].slot.name).string(), EncodeBmp8(set.images[i], set.table));

        std::map<std::string, fs::path> written;
        if (!ListFilesByLowerName(out, written, error)) {
            std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
            return 2;
        }
        // The findings name the art files: they are what the author mends.
        const int status = CheckBitmapSet(written, layout, pszOut, true);
        PrintSummary(pictures, set);
        if (status != 0)
            std::printf("%s: the %d bitmaps are written, but with the findings above: mend the art files they "
                        "name and run bmpset again\n", pszOut, ImageCount(layout));
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 2;
    }
}
