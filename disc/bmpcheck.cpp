// Checks a disc's bitmaps folder against what the launcher does with it.
//
//   bmpcheck DIR
//
// Reads every file as the launcher reads it (the same byte-level code), in
// the launcher's order, and prints one line for each thing a user would see
// go wrong: a missing or refused picture, a wrong size, a picture that is not
// an 8-bit palette picture, a colour table that differs from the palette in
// force. Lines starting "note:" are harmless. Exit status: 0 when the set is
// in order (notes allowed), 1 when there are findings, 2 when DIR cannot be
// read.
#include "dib/dib_format.h"
#include "frame/layout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kShownFrames = 16;

// What one load gave the launcher.
struct Load {
    ImageSlot slot;
    bool bOpened = false;   // false: missing or unreadable; the palette stays as it was
    std::string refusal;    // why the launcher refuses it; empty when it loaded
    int32_t width = 0, height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    std::vector<DibColor> colors; // the palette it leaves in force, if any
};

bool SameColor(const DibColor& a, const DibColor& b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

std::string ColorText(const DibColor& c)
{
    char sz[8];
    std::snprintf(sz, sizeof sz, "#%02X%02X%02X", c.red, c.green, c.blue);
    return sz;
}

// The launcher's reading of one file: a 14-byte file header that begins
// with "BM", then the packed bitmap, copied into a block as long as the file.
Load ReadAsLauncher(const ImageSlot& slot, const fs::path* pPath)
{
    Load load;
    load.slot = slot;
    if (pPath == nullptr)
        return load;
    std::ifstream file(*pPath, std::ios::binary);
    if (!file)
        return load;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        return load;
    load.bOpened = true;
    if (bytes.size() < 14) {
        load.refusal = "is only " + std::to_string(bytes.size()) + " bytes long, too short for a bitmap file";
        return load;
    }
    if (bytes[0] != 'B' || bytes[1] != 'M') {
        load.refusal = "does not begin with \"BM\": it is not a bitmap file";
        return load;
    }
    std::vector<uint8_t> block(bytes.begin() + 14, bytes.end());
    block.resize(bytes.size(), 0);
    const uint8_t* p = block.data();
    const size_t cb = block.size();
    load.width = DibPixelWidth(p, cb);
    load.height = DibPixelHeight(p, cb);
    load.bitCount = DibBitCount(p, cb);
    load.compression = DibCompression(p, cb);
    if (load.height < 0)
        load.refusal = "is stored top row first (its height is negative)";
    else if (load.width < 0)
        load.refusal = "has a negative width";
    else if (!DibFitsBlock(p, cb))
        load.refusal = "is shorter than its header says (cut off, or a damaged header)";
    if (!load.refusal.empty())
        return load;
    const unsigned nColors = DibPaletteEntryCount(p, cb);
    for (unsigned i = 0; i < nColors; ++i)
        load.colors.push_back(DibPaletteEntry(p, cb, i));
    return load;
}

std::string ElementName(const ImageSlot& slot)
{
    switch (slot.kind) {
    case kImageBackground: return "the background";
    case kImageBigFlame: return "the big flame";
    case kImageSmallFlame: return "the small flame";
    case kImageButton: break;
    }
    switch (slot.index) {
    case 1: return "the install button";
    case 2: return "the DirectX download button";
    case 4: return "the read-me button";
    case 6: return "the game's logo";
    case 7: return "the publisher's button";
    case 8: return "the play button";
    case 9: return "the exit button";
    case 10: return "the uninstall button";
    case 11: return "the developer's button";
    default: return "the licensor's button";
    }
}

bool IsShown(const ImageSlot& slot)
{
    return (slot.kind != kImageBigFlame && slot.kind != kImageSmallFlame) || slot.index < kShownFrames;
}

bool Usable(const Load& load) { return load.bOpened && load.refusal.empty(); }

// What is seen when the launcher has no image in this slot.
std::string WithoutImage(const Load& load, const std::vector<Load>& loads)
{
    const ImageSlot& slot = load.slot;
    const std::string element = ElementName(slot);
    if (slot.kind == kImageBackground)
        return "the window's picture is not drawn, and on a 256-colour display the palette is never realised";
    if (slot.kind == kImageBigFlame || slot.kind == kImageSmallFlame) {
        const int previous = (slot.index + kShownFrames - 1) % kShownFrames;
        const Load& before = loads[size_t(&load - loads.data()) - size_t(slot.index) + size_t(previous)];
        std::string text = element + " keeps its previous frame";
        if (Usable(before))
            text += std::string(" (") + before.slot.name + ")";
        return text + " for one interval in every cycle";
    }
    switch (slot.picture) {
    case kPictureUp: return element + " is not drawn: the background shows in its place (the button still works)";
    case kPictureFocus:
        return element + " does not light up under the pointer, and after a click it stays pressed until the pointer leaves";
    default: return "pressing " + element + " shows no pressed picture: it stays lit";
    }
}

std::string SizeEffect(const Load& load)
{
    const int32_t w = load.slot.width, h = load.slot.height;
    if (load.width >= w && load.height >= h)
        return "only its top-left " + std::to_string(w) + " x " + std::to_string(h) + " pixels are shown";
    const int32_t shownW = std::min(load.width, w), shownH = std::min(load.height, h);
    return "it covers only the top-left " + std::to_string(shownW) + " x " + std::to_string(shownH) +
           " of that area; the rest keeps what was drawn there before";
}

// Compressions the system can draw to the screen with these bit counts.
bool Drawable(const Load& load)
{
    switch (load.compression) {
    case 0: return true;
    case 1: return load.bitCount == 8;
    case 2: return load.bitCount == 4;
    case 3: return load.bitCount == 16 || load.bitCount == 32;
    default: return false;
    }
}

// The first entry where two colour tables differ; their length if one is the
// other's beginning; -1 when they are the same.
long FirstDifference(const std::vector<DibColor>& a, const std::vector<DibColor>& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (!SameColor(a[i], b[i]))
            return long(i);
    return a.size() == b.size() ? -1 : long(n);
}

std::string DifferenceText(const std::vector<DibColor>& here, const std::vector<DibColor>& there,
                           const std::string& thereName)
{
    const long i = FirstDifference(here, there);
    auto entry = [&](const std::vector<DibColor>& colors) {
        return size_t(i) < colors.size() ? ColorText(colors[size_t(i)]) : std::string("absent");
    };
    return "entry " + std::to_string(i) + " is " + entry(here) + " here but " + entry(there) + " in " + thereName;
}

class CChecker {
public:
    explicit CChecker(std::vector<Load> loads) : m_loads(std::move(loads)) {}

    int Run(const std::string& folder)
    {
        if (std::none_of(m_loads.begin(), m_loads.end(), [](const Load& l) { return l.bOpened; })) {
            Finding(folder + " holds none of the launcher's " + std::to_string(kImageCount) +
                    " pictures: the window opens with nothing drawn in it");
            return 1;
        }
        for (const Load& load : m_loads)
            CheckFile(load);
        CheckPalette();
        if (m_nFindings == 0)
            std::printf("%s: the launcher's %d pictures are in order\n", folder.c_str(), kImageCount);
        return m_nFindings == 0 ? 0 : 1;
    }

private:
    void Finding(const std::string& line)
    {
        std::printf("%s\n", line.c_str());
        ++m_nFindings;
    }
    void Note(const std::string& line) { std::printf("note: %s\n", line.c_str()); }

    void CheckFile(const Load& load)
    {
        const std::string name = load.slot.name;
        std::string problem;
        if (!load.bOpened)
            problem = name + " is missing";
        else if (!load.refusal.empty())
            problem = name + " " + load.refusal + "; the launcher refuses it";
        else if (load.width != load.slot.width || load.height != load.slot.height)
            problem = name + " is " + std::to_string(load.width) + " x " + std::to_string(load.height) + ", but " +
                      ElementName(load.slot) + " is " + std::to_string(load.slot.width) + " x " +
                      std::to_string(load.slot.height) + ": " + SizeEffect(load);
        else if (!Drawable(load))
            problem = name + " uses a compression (" + std::to_string(load.compression) +
                      ") that the system cannot draw on the screen: nothing of it is shown";
        else if (load.bitCount != 8 || load.colors.empty())
            problem = name + " is a " + std::to_string(load.bitCount) + "-bit picture, not an 8-bit palette " +
                      "picture: on a 256-colour display its colours are matched to the palette in force";

        if (problem.empty())
            return;
        if (!IsShown(load.slot)) {
            Note(problem + "; harmless: the launcher loads frames 17 to 30 but never shows them");
            return;
        }
        if (!Usable(load))
            problem += ": " + WithoutImage(load, m_loads);
        Finding(problem);
    }

    // On a 256-colour display every picture is drawn through the palette of
    // the last load that read its file.
    void CheckPalette()
    {
        const Load* pSource = nullptr;
        for (const Load& load : m_loads)
            if (load.bOpened)
                pSource = &load;
        const std::string sourceName = pSource->slot.name;
        const std::string why = pSource == &m_loads.back()
                                    ? "the last file loaded"
                                    : std::string("the last file loaded that could be opened, as ") +
                                          m_loads.back().slot.name + " is missing";
        const std::string whose = sourceName + ", " + why;
        if (pSource->colors.empty()) {
            Finding("no palette is in force: " + whose + (Usable(*pSource) ? " has no colour table" : " was refused") +
                    ", so on a 256-colour display every picture is drawn in the system's 20 colours");
            return;
        }

        // When the file that sets the palette is the odd one out, say so once
        // rather than for every picture it spoils.
        const std::vector<DibColor>* pCommon = CommonTable();
        if (pCommon != nullptr && FirstDifference(*pCommon, pSource->colors) >= 0) {
            Finding(sourceName + " sets the palette (" + why + ") but its colour table " +
                    "differs from the other pictures': " + DifferenceText(pSource->colors, *pCommon, "theirs") +
                    "; on a 256-colour display every picture is drawn through its colours");
            for (const Load& load : m_loads)
                if (ShownPalettePicture(load) && &load != pSource && FirstDifference(load.colors, *pCommon) >= 0)
                    ReportDiffering(load, *pCommon, "the other pictures'");
            return;
        }
        for (const Load& load : m_loads)
            if (ShownPalettePicture(load) && &load != pSource)
                ReportDiffering(load, pSource->colors, sourceName + "'s table, which is in force");
    }

    // Pictures of other kinds have had their line already.
    static bool ShownPalettePicture(const Load& load)
    {
        return Usable(load) && IsShown(load.slot) && load.bitCount == 8 && !load.colors.empty();
    }

    void ReportDiffering(const Load& load, const std::vector<DibColor>& table, const std::string& tableName)
    {
        if (FirstDifference(load.colors, table) < 0)
            return;
        Finding(std::string(load.slot.name) + "'s colour table differs: " +
                DifferenceText(load.colors, table, tableName) +
                "; on a 256-colour display its colours are matched to the palette in force");
    }

    // The colour table that most of the shown pictures share, when more than
    // half of them do.
    const std::vector<DibColor>* CommonTable() const
    {
        std::vector<const Load*> tabled;
        for (const Load& load : m_loads)
            if (ShownPalettePicture(load))
                tabled.push_back(&load);
        for (const Load* pCandidate : tabled) {
            const size_t nSame = size_t(std::count_if(tabled.begin(), tabled.end(), [&](const Load* p) {
                return FirstDifference(p->colors, pCandidate->colors) < 0;
            }));
            if (2 * nSame > tabled.size())
                return &pCandidate->colors;
        }
        return nullptr;
    }

    std::vector<Load> m_loads;
    int m_nFindings = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\nchecks a bitmaps folder against what the launcher expects\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        std::fprintf(stderr, "%s: %s is not a folder\n", argv[0], argv[1]);
        return 2;
    }
    // Windows finds a file whatever the case of its name; so does this.
    std::map<std::string, fs::path> files;
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::string key = entries->path().filename().string();
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (files.count(key) == 0 || entries->path().filename() == key)
            files[key] = entries->path();
    }
    if (error) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", argv[0], argv[1], error.message().c_str());
        return 2;
    }

    std::vector<Load> loads;
    for (int order = 0; order < kImageCount; ++order) {
        const ImageSlot slot = LauncherImageSlot(order);
        const auto found = files.find(slot.name);
        loads.push_back(ReadAsLauncher(slot, found == files.end() ? nullptr : &found->second));
    }
    return CChecker(std::move(loads)).Run(argv[1]);
}
