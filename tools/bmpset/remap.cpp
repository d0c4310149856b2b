#include "tools/bmpset/remap.h"

#include "tools/setcheck.h"

#include <libimagequant.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

constexpr int kTableSize = 256;
constexpr int kFirstChosen = kStaticColorsAtEachEnd;
constexpr int kChosenColors = kTableSize - 2 * kStaticColorsAtEachEnd;

struct CLiqDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_histogram* p) const { liq_histogram_destroy(p); }
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
template <class T> using LiqPtr = std::unique_ptr<T, CLiqDeleter>;

void Check(liq_error error, const char* what)
{
    if (error != LIQ_OK)
        throw std::runtime_error(std::string("the quantisation library failed ") + what + " (error " +
                                 std::to_string(int(error)) + ")");
}

LiqPtr<liq_image> MakeImage(liq_attr* pAttr, const ArtPicture& picture)
{
    LiqPtr<liq_image> pImage(liq_image_create_rgba(pAttr, picture.rgba.data(), picture.slot.width,
                                                   picture.slot.height, 0));
    if (!pImage)
        throw std::runtime_error("the quantisation library cannot take a picture of " + std::string(picture.slot.name));
    return pImage;
}

bool IsFlame(const ImageSlot& slot) { return slot.kind == kImageBigFlame || slot.kind == kImageSmallFlame; }

// What the screen never shows should not take colours from what it does.
// Every picture that is ever on the screen counts, whatever share of the
// time it is up: while a flame frame or a lit button is up, the eye is on it.
// Most pictures keep the library's own weighting, which counts each pixel by
// how much an error there would show (edges and fine detail more than flat
// areas). Two get a map of their own, and a map replaces that weighting
// outright for its picture:
// - the background: every pixel a button never covers at full weight, the
//   ones under the buttons at none (under a flame it shows after each
//   repaint, until the next frame). The background thus weighs more than the
//   library would give it, and as the largest picture it pulls the table its
//   way. Measured on the demo's round trip (bench/smoothart's art through
//   bmpset), that is the better way: mean 39.16 dB, worst 34.83 dB over the 91
//   pictures, against 38.84 and 34.61 dB with the library's weighting for the
//   background too; the flames stay still either way (none of the 102,609
//   pixels whose art stays the same from one shown frame to the next changes
//   colour);
// - frames 17 to 30, which are loaded but never shown: every pixel at the
//   least weight, so that a colour only they hold still has a little say.
// Returns the weights by pixel, or nothing where the library's own weighting
// stands.
std::vector<uint8_t> HiddenWeights(const ImageSlot& slot, const LauncherLayout& layout)
{
    std::vector<uint8_t> weights;
    if (IsFlame(slot) && !IsShownSlot(slot))
        weights.assign(size_t(slot.width) * size_t(slot.height), 1);
    if (slot.kind != kImageBackground)
        return weights;
    weights.assign(size_t(slot.width) * size_t(slot.height), 255);
    for (int id = 1; id <= kButtonCount; ++id) {
        const LayoutRect rc = ButtonRect(id, layout);
        for (int32_t y = rc.top; y < rc.bottom; ++y)
            for (int32_t x = rc.left; x < rc.right; ++x)
                weights[size_t(y) * size_t(slot.width) + size_t(x)] = 0;
    }
    return weights;
}

// The library's palette in the launcher's table: each static colour at its
// own entry, the chosen ones from entry 10 on, unused entries black. Returns
// the table entry of each of the library's entries.
std::vector<uint8_t> FillTable(const liq_palette& chosen, RemappedSet& set)
{
    const auto& statics = StaticColors();
    set.table.fill(statics[0]);
    for (int i = 0; i < kStaticColorsAtEachEnd; ++i) {
        set.table[size_t(i)] = statics[size_t(i)];
        set.table[size_t(kTableSize - kStaticColorsAtEachEnd + i)] = statics[size_t(kStaticColorsAtEachEnd + i)];
    }
    std::vector<uint8_t> toTable(chosen.count);
    bool bPlaced[2 * kStaticColorsAtEachEnd] = {};
    for (unsigned i = 0; i < chosen.count; ++i) {
        const Rgb8 color{chosen.entries[i].r, chosen.entries[i].g, chosen.entries[i].b};
        int fixed = -1;
        for (int s = 0; s < 2 * kStaticColorsAtEachEnd && fixed < 0; ++s)
            if (!bPlaced[s] && statics[size_t(s)] == color)
                fixed = s;
        if (fixed >= 0) {
            bPlaced[fixed] = true;
            toTable[i] = uint8_t(fixed < kStaticColorsAtEachEnd ? fixed : fixed + kChosenColors);
            continue;
        }
        if (set.nChosen == kChosenColors)
            throw std::runtime_error("the quantisation library gave more colours than the table has room for");
        toTable[i] = uint8_t(kFirstChosen + set.nChosen);
        set.table[size_t(kFirstChosen + set.nChosen++)] = color;
    }
    return toTable;
}

// A flame frame or a button is drawn over the background, and a repaint draws
// the background over it again: wherever its art is the background's, it
// takes the background's own entries, so that its edge meets the background
// without a seam and nothing but what is painted on it changes on the screen.
void KeepBackgroundEntries(const ArtPicture& picture, const ArtPicture& background,
                           const IndexedImage& backgroundImage, const LayoutRect& place, IndexedImage& image)
{
    const ImageSlot& slot = picture.slot;
    for (int32_t y = 0; y < slot.height; ++y)
        for (int32_t x = 0; x < slot.width; ++x) {
            const size_t here = size_t(y) * size_t(slot.width) + size_t(x);
            const size_t there = size_t(place.top + y) * size_t(background.slot.width) + size_t(place.left + x);
            if (std::equal(&picture.rgba[4 * here], &picture.rgba[4 * here + 4], &background.rgba[4 * there]))
                image.indices[here] = backgroundImage.indices[there];
        }
}

} // namespace

RemappedSet RemapToOneTable(const std::vector<ArtPicture>& pictures, const LauncherLayout& layout)
{
    LiqPtr<liq_attr> pAttr(liq_attr_create());
    if (!pAttr)
        throw std::runtime_error("the quantisation library cannot run on this machine");
    Check(liq_set_max_colors(pAttr.get(), kTableSize), "to take the table's size");
    // The most thorough setting: on 91 small pictures it costs hundredths of
    // a second more than the default, and it gives the closest colours.
    Check(liq_set_speed(pAttr.get(), 1), "to take its speed");
    LiqPtr<liq_histogram> pHistogram(liq_histogram_create(pAttr.get()));
    for (const Rgb8& color : StaticColors())
        Check(liq_histogram_add_fixed_color(pHistogram.get(), liq_color{color.r, color.g, color.b, 255}, 0),
              "to keep the static colours");
    for (const ArtPicture& picture : pictures) {
        LiqPtr<liq_image> pImage = MakeImage(pAttr.get(), picture);
        std::vector<uint8_t> weights = HiddenWeights(picture.slot, layout);
        if (!weights.empty())
            Check(liq_image_set_importance_map(pImage.get(), weights.data(), weights.size(), LIQ_COPY_PIXELS),
                  "to weigh a picture");
        Check(liq_histogram_add_image(pHistogram.get(), pAttr.get(), pImage.get()), "to count the colours");
    }
    liq_result* pRaw = nullptr;
    Check(liq_histogram_quantize(pHistogram.get(), pAttr.get(), &pRaw), "to choose the colours");
    LiqPtr<liq_result> pResult(pRaw);

    // The library refines a palette while it remaps only when the palette was
    // chosen for that one image; one chosen from a histogram stays as it is,
    // so this table holds for every picture.
    RemappedSet set;
    const std::vector<uint8_t> toTable = FillTable(*liq_get_palette(pResult.get()), set);
    for (const ArtPicture& picture : pictures) {
        const ImageSlot& slot = picture.slot;
        // Error diffusion spreads each pixel's error to the ones after it, so
        // a change anywhere in a flame's frame moves the dots everywhere
        // below it, and the still parts of the fire shimmer from frame to
        // frame. The flames take each pixel's nearest colour instead: a colour
        // at one place always gives the same entry.
        Check(liq_set_dithering_level(pResult.get(), IsFlame(slot) ? 0.0f : 1.0f), "to set its dithering");
        LiqPtr<liq_image> pImage = MakeImage(pAttr.get(), picture);
        IndexedImage image{slot.width, slot.height, std::vector<uint8_t>(size_t(slot.width) * size_t(slot.height))};
        Check(liq_write_remapped_image(pResult.get(), pImage.get(), image.indices.data(), image.indices.size()),
              "to remap a picture");
        for (uint8_t& index : image.indices)
            index = toTable.at(index);
        if (slot.kind != kImageBackground)
            KeepBackgroundEntries(picture, pictures.front(), set.images.front(), ImageSlotRect(slot, layout), image);
        set.images.push_back(std::move(image));
    }
    return set;
}
