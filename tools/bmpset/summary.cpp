#include "tools/bmpset/summary.h"

#include "tools/setcheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

// A picture identical to its art has no finite PSNR; it reads as this.
constexpr double kIdenticalDb = 99.0;

// Peak signal-to-noise ratio of a picture against its art, over the three
// colour channels.
double Psnr(const ArtPicture& picture, const IndexedImage& image, const Palette& table)
{
    double squares = 0;
    for (size_t i = 0; i < image.indices.size(); ++i) {
        const Rgb8& c = table[image.indices[i]];
        const uint8_t* art = &picture.rgba[4 * i];
        const double dr = double(c.r) - art[0], dg = double(c.g) - art[1], db = double(c.b) - art[2];
        squares += dr * dr + dg * dg + db * db;
    }
    const double mse = squares / (3.0 * double(image.indices.size()));
    return mse == 0 ? kIdenticalDb : std::min(kIdenticalDb, 10.0 * std::log10(255.0 * 255.0 / mse));
}

void PrintTableUse(const std::vector<ArtPicture>& pictures, const RemappedSet& set)
{
    long uses[256] = {};
    long nShown = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (!IsShownSlot(pictures[i].slot))
            continue;
        for (uint8_t index : set.images[i].indices)
            ++uses[index];
        nShown += long(set.images[i].indices.size());
    }
    int nUsed = 0, nStaticUsed = 0;
    long nStaticPixels = 0;
    for (int i = 0; i < 256; ++i) {
        const bool bStatic = i < kStaticColorsAtEachEnd || i >= 256 - kStaticColorsAtEachEnd;
        nUsed += uses[i] > 0;
        if (bStatic) {
            nStaticUsed += uses[i] > 0;
            nStaticPixels += uses[i];
        }
    }
    std::printf("table: the system's 20 static colours at entries 0 to 9 and 246 to 255, %d colours chosen for "
                "the art at entries 10 to %d\n",
                set.nChosen, 9 + set.nChosen);
    std::printf("table use: %d of 256 entries appear in the shown pictures, %d of them static colours, which "
                "draw %.1f %% of the shown pixels\n",
                nUsed, nStaticUsed, nShown ? 100.0 * double(nStaticPixels) / double(nShown) : 0.0);
}

// Pixels whose art stays the same from one shown frame to the next but whose
// palette entry changes: they shimmer while the flame burns.
void PrintFlameStillness(const std::vector<ArtPicture>& pictures, const RemappedSet& set)
{
    long nStill = 0, nChanging = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const ImageSlot& slot = pictures[i].slot;
        if ((slot.kind != kImageBigFlame && slot.kind != kImageSmallFlame) || slot.index >= kShownFlameFrames)
            continue;
        const size_t next = i - size_t(slot.index) + size_t((slot.index + 1) % kShownFlameFrames);
        for (size_t p = 0; p < set.images[i].indices.size(); ++p) {
            if (!std::equal(&pictures[i].rgba[4 * p], &pictures[i].rgba[4 * p + 3], &pictures[next].rgba[4 * p]))
                continue;
            ++nStill;
            nChanging += set.images[i].indices[p] != set.images[next].indices[p];
        }
    }
    std::printf("flames: %ld of the %ld pixels whose art stays the same from one shown frame to the next change "
                "colour\n",
                nChanging, nStill);
}

} // namespace

void PrintSummary(const std::vector<ArtPicture>& pictures, const RemappedSet& set)
{
    PrintTableUse(pictures, set);
    PrintFlameStillness(pictures, set);

    std::vector<std::pair<double, std::string>> fidelity;
    double sum = 0;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const double db = Psnr(pictures[i], set.images[i], set.table);
        fidelity.push_back({db, pictures[i].slot.name});
        sum += db;
    }
    std::stable_sort(fidelity.begin(), fidelity.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::printf("fidelity to the art, PSNR, worst first (%.0f dB: identical):\n", kIdenticalDb);
    for (const auto& [db, name] : fidelity)
        std::printf("  %-14s %6.2f dB\n", name.c_str(), db);
    std::printf("mean over the %zu pictures: %.2f dB\n", fidelity.size(), sum / double(fidelity.size()));
}
