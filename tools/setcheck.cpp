#include "tools/setcheck.h"

#include "dib/dib_format.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A flame frame's edge is a seam where, over this many neighbouring pixels of
// its border, its colours stray from the background's by more than
// kSeamLevels on average in one channel. Dithering that differs from the
// background's averages out over such a run; a frame painted on another
// background, or a fire cut off by the frame's edge, does not.
constexpr int kSeamRun = 8;
constexpr int kSeamLevels = 6;

// What one load gave the launcher.
struct Load {
    ImageSlot slot;
    bool bOpened = false;   // false: missing or unreadable; the palette stays as it was
    std::string refusal;    // why the launcher refuses it; empty when it loaded
    int32_t width = 0, height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    std::vector<DibColor> colors; // the palette it leaves in force, if any
    std::vector<uint8_t> pixels;  // top row first, for 8-bit pictures of their element's size
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

// The rows of an uncompressed 8-bit picture, which the seam check compares.
std::vector<uint8_t> PixelRows(const uint8_t* p, size_t cb, int32_t width, int32_t height)
{
    const uint8_t* pBits = DibBitsPointer(p, cb);
    const size_t stride = (size_t(width) + 3) / 4 * 4;
    std::vector<uint8_t> pixels;
    pixels.reserve(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* pRow = pBits + size_t(height - 1 - y) * stride;
        pixels.insert(pixels.end(), pRow, pRow + width);
    }
    return pixels;
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
    if (load.bitCount == 8 && load.compression == dib_detail::kBiRgb && load.width == slot.width &&
        load.height == slot.height)
        load.pixels = PixelRows(p, cb, load.width, load.height);
    return load;
}

bool Usable(const Load& load) { return load.bOpened && load.refusal.empty(); }

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

// A pixel's colour through the picture's own table. An index past the
// table's end has no colour of its own; it is taken as black.
DibColor PixelColor(const Load& load, uint8_t index)
{
    return index < load.colors.size() ? load.colors[index] : DibColor{0, 0, 0};
}

// Where a frame's edge strays furthest from the background under it.
struct Seam {
    bool bVisible = false;
    int x = 0, y = 0; // in the frame
    DibColor frameColor{}, backgroundColor{};
};

Seam FindSeam(const Load& frame, const Load& background, const LayoutRect& place)
{
    // The border, once round, as one closed path.
    const int w = frame.width, h = frame.height;
    std::vector<std::pair<int, int>> ring;
    for (int x = 0; x < w; ++x)
        ring.push_back({x, 0});
    for (int y = 1; y < h; ++y)
        ring.push_back({w - 1, y});
    for (int x = w - 2; x >= 0; --x)
        ring.push_back({x, h - 1});
    for (int y = h - 2; y > 0; --y)
        ring.push_back({0, y});

    struct Difference {
        int channel[3];
        DibColor here, there;
    };
    std::vector<Difference> differences;
    for (const auto& [x, y] : ring) {
        const DibColor here = PixelColor(frame, frame.pixels[size_t(y) * size_t(w) + size_t(x)]);
        const size_t at = size_t(place.top + y) * size_t(background.width) + size_t(place.left + x);
        const DibColor there = PixelColor(background, background.pixels[at]);
        differences.push_back({{here.red - there.red, here.green - there.green, here.blue - there.blue}, here, there});
    }

    Seam seam;
    long worstRun = long(kSeamRun) * kSeamLevels;
    const size_t n = ring.size();
    for (size_t start = 0; start < n; ++start) {
        for (int c = 0; c < 3; ++c) {
            long sum = 0;
            for (size_t k = 0; k < size_t(kSeamRun); ++k)
                sum += differences[(start + k) % n].channel[c];
            if (std::labs(sum) <= worstRun)
                continue;
            worstRun = std::labs(sum);
            // The worst place is the run's pixel that strays furthest.
            size_t worst = start;
            for (size_t k = 0; k < size_t(kSeamRun); ++k) {
                const size_t i = (start + k) % n;
                if (std::abs(differences[i].channel[c]) > std::abs(differences[worst].channel[c]))
                    worst = i;
            }
            seam = Seam{true, ring[worst].first, ring[worst].second, differences[worst].here,
                        differences[worst].there};
        }
    }
    return seam;
}

class CChecker {
public:
    CChecker(std::vector<Load> loads, const LauncherLayout& layout, bool bArtNames)
        : m_loads(std::move(loads)), m_layout(layout), m_bArtNames(bArtNames)
    {
    }

    int Run(const std::string& folder)
    {
        if (std::none_of(m_loads.begin(), m_loads.end(), [](const Load& l) { return l.bOpened; })) {
            Finding(folder + " holds none of the launcher's " + std::to_string(m_loads.size()) +
                    " pictures: the window opens with nothing drawn in it");
            return 1;
        }
        for (const Load& load : m_loads)
            CheckFile(load);
        CheckPalette();
        CheckSeams();
        if (m_nFindings == 0)
            std::printf("%s: the launcher's %d pictures are in order\n", folder.c_str(), int(m_loads.size()));
        return m_nFindings == 0 ? 0 : 1;
    }

private:
    std::string Name(const ImageSlot& slot) const { return m_bArtNames ? ArtFileName(slot) : slot.name; }

    void Finding(const std::string& line)
    {
        std::printf("%s\n", line.c_str());
        ++m_nFindings;
    }
    void Note(const std::string& line) { std::printf("note: %s\n", line.c_str()); }

    // A fault in a frame that is never shown is only noted.
    void Report(const ImageSlot& slot, const std::string& problem)
    {
        if (IsShownSlot(slot))
            Finding(problem);
        else
            Note(problem + "; harmless: the launcher loads frames 17 to 30 but never shows them");
    }

    void CheckFile(const Load& load)
    {
        const std::string name = Name(load.slot);
        std::string problem;
        if (!load.bOpened)
            problem = name + " is missing";
        else if (!load.refusal.empty())
            problem = name + " " + load.refusal + "; the launcher refuses it";
        else if (load.width != load.slot.width || load.height != load.slot.height)
            problem = name + " is " + std::to_string(load.width) + " x " + std::to_string(load.height) + ", but " +
                      ElementName(load.slot) + " is " + std::to_string(load.slot.width) + " x " +
                      std::to_string(load.slot.height) + ": " + SizeEffect(load.slot, load.width, load.height);
        else if (!Drawable(load))
            problem = name + " uses a compression (" + std::to_string(load.compression) +
                      ") that the system cannot draw on the screen: nothing of it is shown";
        else if (load.bitCount != 8 || load.colors.empty())
            problem = name + " is a " + std::to_string(load.bitCount) + "-bit picture, not an 8-bit palette " +
                      "picture: on a 256-colour display its colours are matched to the palette in force";

        if (problem.empty())
            return;
        if (!Usable(load) && IsShownSlot(load.slot)) {
            const bool bFlame = load.slot.kind == kImageBigFlame || load.slot.kind == kImageSmallFlame;
            problem += ": " + WithoutPicture(load.slot, m_layout,
                                             bFlame && Usable(m_loads[size_t(PreviousFrameOrder(load.slot, m_layout))]));
        }
        Report(load.slot, problem);
    }

    // On a 256-colour display every picture is drawn through the palette of
    // the last load that read its file.
    void CheckPalette()
    {
        const Load* pSource = nullptr;
        for (const Load& load : m_loads)
            if (load.bOpened)
                pSource = &load;
        const std::string sourceName = Name(pSource->slot);
        const std::string why = pSource == &m_loads.back()
                                    ? "the last file loaded"
                                    : std::string("the last file loaded that could be opened, as ") +
                                          Name(m_loads.back().slot) + " is missing";
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
        return Usable(load) && IsShownSlot(load.slot) && load.bitCount == 8 && !load.colors.empty();
    }

    void ReportDiffering(const Load& load, const std::vector<DibColor>& table, const std::string& tableName)
    {
        if (FirstDifference(load.colors, table) < 0)
            return;
        Finding(Name(load.slot) + "'s colour table differs: " +
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

    // A flame frame is drawn as a whole rectangle over the background, and a
    // repaint draws the background over it again: where the frame's edge does
    // not carry the background's own pixels, a box flickers round the flame.
    // Each picture is compared through its own colour table, as a true-colour
    // display shows it.
    void CheckSeams()
    {
        const Load& background = m_loads.front();
        if (background.pixels.empty())
            return;
        for (const Load& frame : m_loads) {
            if ((frame.slot.kind != kImageBigFlame && frame.slot.kind != kImageSmallFlame) || frame.pixels.empty())
                continue;
            const LayoutRect place = ImageSlotRect(frame.slot, m_layout);
            const Seam seam = FindSeam(frame, background, place);
            if (!seam.bVisible)
                continue;
            Report(frame.slot, Name(frame.slot) + " does not match the background along its edge: at (" +
                                   std::to_string(place.left + seam.x) + ", " + std::to_string(place.top + seam.y) +
                                   ") in the window it is " + ColorText(seam.frameColor) + " where " +
                                   Name(background.slot) + " is " + ColorText(seam.backgroundColor) +
                                   ", so a box shows around " + ElementName(frame.slot) +
                                   " whenever this frame is drawn");
        }
    }

    std::vector<Load> m_loads;
    const LauncherLayout& m_layout;
    bool m_bArtNames;
    int m_nFindings = 0;
};

} // namespace

bool ListFilesByLowerName(const fs::path& folder, std::map<std::string, fs::path>& files, std::string& error)
{
    std::error_code code;
    if (!fs::is_directory(folder, code)) {
        error = folder.string() + " is not a folder";
        return false;
    }
    fs::directory_iterator entries(folder, code);
    for (; !code && entries != fs::directory_iterator(); entries.increment(code)) {
        std::string key = entries->path().filename().string();
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (files.count(key) == 0 || entries->path().filename() == key)
            files[key] = entries->path();
    }
    if (code) {
        error = "cannot read " + folder.string() + ": " + code.message();
        return false;
    }
    return true;
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

bool IsShownSlot(const ImageSlot& slot)
{
    return (slot.kind != kImageBigFlame && slot.kind != kImageSmallFlame) || slot.index < kShownFlameFrames;
}

int PreviousFrameOrder(const ImageSlot& slot, const LauncherLayout& layout)
{
    const int first = slot.kind == kImageBigFlame ? 1 : 1 + layout.flameFiles[kBigFlame];
    return first + (slot.index + kShownFlameFrames - 1) % kShownFlameFrames;
}

std::string SizeEffect(const ImageSlot& slot, int32_t width, int32_t height)
{
    const int32_t w = slot.width, h = slot.height;
    if (width >= w && height >= h)
        return "only its top-left " + std::to_string(w) + " x " + std::to_string(h) + " pixels are shown";
    const int32_t shownW = std::min(width, w), shownH = std::min(height, h);
    return "it covers only the top-left " + std::to_string(shownW) + " x " + std::to_string(shownH) +
           " of that area; the rest keeps what was drawn there before";
}

std::string WithoutPicture(const ImageSlot& slot, const LauncherLayout& layout, bool bPreviousFrameLoads)
{
    const std::string element = ElementName(slot);
    if (slot.kind == kImageBackground)
        return "the window's picture is not drawn, and on a 256-colour display the palette is never realised";
    if (slot.kind == kImageBigFlame || slot.kind == kImageSmallFlame) {
        std::string text = element + " keeps its previous frame";
        if (bPreviousFrameLoads)
            text += std::string(" (") + LauncherImageSlot(PreviousFrameOrder(slot, layout), layout).name + ")";
        return text + " for one interval in every cycle";
    }
    switch (slot.picture) {
    case kPictureUp: return element + " is not drawn: the background shows in its place (the button still works)";
    case kPictureFocus:
        return element + " does not light up under the pointer, and after a click it stays pressed until the pointer leaves";
    default: return "pressing " + element + " shows no pressed picture: it stays lit";
    }
}

std::string ArtFileName(const ImageSlot& slot)
{
    const std::string name = slot.name;
    return name.substr(0, name.size() - 4) + ".png";
}

std::vector<uint8_t> SlotPictureRgb(const fs::path& path, const ImageSlot& slot)
{
    const Load load = ReadAsLauncher(slot, &path);
    std::vector<uint8_t> rgb;
    if (!Usable(load) || load.pixels.empty())
        return rgb;
    rgb.reserve(load.pixels.size() * 3);
    for (const uint8_t index : load.pixels) {
        const DibColor color = index < load.colors.size() ? load.colors[index] : DibColor{};
        rgb.insert(rgb.end(), {color.red, color.green, color.blue});
    }
    return rgb;
}

int CheckBitmapSet(const std::map<std::string, fs::path>& files, const LauncherLayout& layout,
                   const std::string& folderName, bool bArtNames)
{
    std::vector<Load> loads;
    for (int order = 0; order < ImageCount(layout); ++order) {
        const ImageSlot slot = LauncherImageSlot(order, layout);
        const auto found = files.find(slot.name);
        loads.push_back(ReadAsLauncher(slot, found == files.end() ? nullptr : &found->second));
    }
    return CChecker(std::move(loads), layout, bArtNames).Run(folderName);
}
